// brevan-vreader: virtual readers on loopback and pseudo-terminals.
#include "KxDataStreamValue.h"
#include "VcSceneSource.h"
#include "VrConfigFile.h"
#include "VrConfigSets.h"
#include "VrLogWriter.h"
#include "VrModel.h"
#include "VrOptions.h"
#include "VrReaderCamera.h"
#include "VvCamera.h"
#include "VrReaderHost.h"
#include "VrRfid.h"
#include "KxDeviceConfigs.h"

#include <QCoreApplication>
#include <QDir>
#include <QSaveFile>
#include <QTextStream>

#include <cstdio>
#include <cstring>

namespace {

struct ReaderSpec
{
    QString model;
    VrIdentity::Kind kind;
    bool pty;
};

QString shortName(const QString &model)
{
    QString s = model;
    for (const char *p : {"KXS-", "KXS_", "KXS"}) {
        if (s.startsWith(QLatin1String(p)))
            s = s.mid(int(strlen(p)));
    }
    return s;
}

}  // namespace

int main(int argc, char **argv)
{
    // Log lines leave through their own thread: a reader whose stderr nobody reads keeps
    // answering. Made before the application, so it outlives every reader that logs.
    VrLogWriter logWriter(fileno(stderr));
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);

    VrOptions options;
    QString error;
    bool help = false;
    if (!vrParseOptions(app.arguments().mid(1), &options, &error, &help)) {
        err << "brevan-vreader: " << error << Qt::endl;
        return 2;
    }
    if (help) {
        out << vrHelpText();
        return 0;
    }
    if (options.modelsDir.isEmpty())
        options.modelsDir = QCoreApplication::applicationDirPath() + QStringLiteral("/models");
    if (!options.stateDir.isEmpty() && !QDir().mkpath(options.stateDir)) {
        err << "brevan-vreader: cannot create state folder " << options.stateDir << Qt::endl;
        return 1;
    }

    VrConfigFile config;
    if (!options.configFile.isEmpty()) {
        if (!config.read(options.configFile, &error)) {
            err << "brevan-vreader: " << error << Qt::endl;
            return 2;
        }
        if (!options.modelGiven && !config.deviceType.isEmpty())
            options.model = config.deviceType;
    }
    // One scene file for every reader, or each kind of reader its own scene.
    VcSceneSource *sceneFile = nullptr;
    if (!options.sceneFile.isEmpty()) {
        sceneFile = new VcSceneSource(options.sceneFile, &app);
        QStringList problems;
        if (!sceneFile->load(&problems)) {
            err << "brevan-vreader: " << problems.join(QStringLiteral("\nbrevan-vreader: ")) << Qt::endl;
            return 2;
        }
        QObject::connect(sceneFile, &VcSceneSource::problem,
                         [&logWriter](const QString &line) { logWriter.write(line); });
    }

    QList<ReaderSpec> readerSpecs;
    if (options.demo) {
        readerSpecs << ReaderSpec{"KXS-FM800", VrIdentity::FixedMount, false}
              << ReaderSpec{"KXS-FM800", VrIdentity::FixedMount, false}
              << ReaderSpec{"KXS-SC500", VrIdentity::Camera, false}
              << ReaderSpec{"KXS-RF600", VrIdentity::FixedMount, false}
              << ReaderSpec{"KXS-HS120", VrIdentity::Serial, true};
    } else {
        for (int i = 0; i < options.count; ++i)
            readerSpecs << ReaderSpec{options.model, VrIdentity::FixedMount, false};
        if (options.pty)
            readerSpecs << ReaderSpec{options.model, VrIdentity::Serial, true};
    }
    if (readerSpecs.isEmpty()) {
        err << "brevan-vreader: nothing to run (--count 0 without --pty)" << Qt::endl;
        return 2;
    }

    QHash<QString, QSharedPointer<const VrCommandTable>> tables;
    QStringList ptys;
    int networkIndex = 0;
    int index = 0;
    for (const ReaderSpec &params : readerSpecs) {
        ++index;
        QString model;
        if (!tables.contains(params.model)) {
            auto table = VrModel::loadTable(options.modelsDir, params.model, &model, &error);
            if (!table) {
                err << "brevan-vreader: " << error << Qt::endl;
                return 1;
            }
            if (options.configSets != VrConfigSets::SetCount && table->find(QStringLiteral("MPCADD"))) {
                auto copy = QSharedPointer<VrCommandTable>::create(*table);
                copy->setConfigSetCount(options.configSets);
                table = copy;
            }
            tables.insert(params.model, table);
        }
        VrIdentity id;
        id.kind = params.kind;
        if (params.kind == VrIdentity::Camera || params.model.contains("SC5"))
            id.kind = params.pty ? VrIdentity::Serial : VrIdentity::Camera;
        id.model = params.model.startsWith("KXS") ? params.model : "KXS-" + params.model;
        const QString base = options.serial.isEmpty() ? shortName(id.model) + "-VR" : options.serial;
        id.serial = base + QString::number(index).rightJustified(4, '0');
        id.mac = VrModel::macFor(id.serial);
        id.cmdPort = options.port;
        id.logPort = options.logPort;
        if (!params.pty) {
            const QHostAddress a = vrAddressAt(options.address, networkIndex++);
            if (a.isNull()) {
                err << "brevan-vreader: too many readers for the address range" << Qt::endl;
                return 2;
            }
            id.ip = a.toString();
        }
        const QString statePath = options.stateDir.isEmpty()
            ? QString() : QDir(options.stateDir).filePath(id.serial + QStringLiteral(".json"));
        auto engine = std::make_unique<VrReaderEngine>(tables.value(params.model), id, statePath);
        engine->setBufferSize(options.bufferSize);
        if (!engine->loadState(&error))
            err << "brevan-vreader: " << error << " (starting from defaults)" << Qt::endl;
        QSize sensor = options.sensor;
        if (sensor.isEmpty()) {
            const VrCommand *wh = tables.value(params.model)->find(QStringLiteral("IMGGWH"));
            const auto tags = KxSplitLetterTags(wh ? wh->defaultValue : QByteArray());
            for (const auto &t : tags)
                (t.first == QLatin1String("W") ? sensor.rwidth() : sensor.rheight()) = t.second.toInt();
            if (!wh || sensor.width() < 64 || sensor.height() < 64)
                sensor = id.kind == VrIdentity::Serial ? QSize(640, 480) : QSize(1280, 960);
        }
        VcSceneSource *scene = sceneFile;
        if (!scene) {
            const QString kind = id.kind == VrIdentity::Serial ? QStringLiteral("hand-held")
                : id.kind == VrIdentity::Camera ? QStringLiteral("camera") : QStringLiteral("fixed-mount");
            scene = new VcSceneSource(VcScenes::byKind(kind, sensor), &app);
        }
        if (VrRfid::isRfidTable(*tables.value(params.model))) {
            // An RFID reader sees tags instead of codes.
            KxDeviceConfigs configs(KxDescriptionDirs::fromModelsDir(options.modelsDir), QStringLiteral("en"));
            const VfScene tags = options.tags > 0 ? VfScene::standing(options.tags) : VfScene::passing();
            engine->setRfid(std::make_unique<VfReader>(tags), configs.urfhpTable());
        } else {
            engine->setCamera(std::make_unique<VrReaderCamera>(scene, sensor));
        }
        if (id.kind == VrIdentity::Camera) {
            // The vision side keeps its solutions beside the reader's settings.
            auto vision = std::make_unique<VvCamera>(
                QDir(options.modelsDir).filePath(QStringLiteral("vision/") + shortName(id.model)),
                options.stateDir.isEmpty() ? QString()
                    : QDir(options.stateDir).filePath(id.serial + QStringLiteral(".vision.json")));
            if (!vision->load(&error))
                err << "brevan-vreader: " << error << " (starting without solutions)" << Qt::endl;
            engine->setVision(std::move(vision));
        }
        if (!options.configFile.isEmpty()) {
            QStringList refused, unknown;
            config.apply(*engine, &refused, &unknown);
            if (!refused.isEmpty() || !unknown.isEmpty())
                err << "brevan-vreader: " << options.configFile << ": refused " << refused.join(',')
                    << "; unknown " << unknown.join(',') << Qt::endl;
        }
        if (!options.settings.isEmpty()) {
            VrConfigFile set;
            set.commands = options.settings;
            QStringList refused, unknown;
            set.apply(*engine, &refused, &unknown);
            if (!refused.isEmpty() || !unknown.isEmpty())
                err << "brevan-vreader: --set: refused " << refused.join(',') << "; unknown "
                    << unknown.join(',') << Qt::endl;
        }
        auto *host = new VrReaderHost(std::move(engine), options.faults, options.discoveryPort, &app);
        host->setLoadRate(options.loadRate);
        host->setDeviceLog(options.stateDir.isEmpty()
                               ? QString() : QDir(options.stateDir).filePath(id.serial + QStringLiteral(".log")),
                           options.logSize);
        QObject::connect(host, &VrReaderHost::logLine,
                         [&logWriter](const QString &line) { logWriter.write(line); });
        const bool ok = params.pty ? host->startPty(&error) : host->startNetwork(&error);
        if (!ok) {
            err << "brevan-vreader: " << error << Qt::endl;
            return 1;
        }
        const VrIdentity &live = host->engine().identity();
        if (params.pty) {
            ptys << host->ptyPath();
            out << "pty: " << host->ptyPath() << " " << live.serial << " " << live.model << Qt::endl;
        } else {
            out << "reader: " << live.serial << " " << live.model << " " << live.ip << ":"
                << live.cmdPort << " log " << live.logPort << " discovery "
                << options.discoveryPort << Qt::endl;
        }
    }
    if (!options.stateDir.isEmpty() && (options.demo || options.pty)) {
        QSaveFile f(QDir(options.stateDir).filePath(QStringLiteral("ptys.txt")));
        if (f.open(QIODevice::WriteOnly)) {
            f.write(ptys.join('\n').toUtf8() + '\n');
            f.commit();
        }
    }
    out << "ready" << Qt::endl;
    return app.exec();
}
