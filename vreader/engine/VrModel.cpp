#include "VrModel.h"

#include "KxDeviceConfigs.h"
#include "KxModelName.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QFileInfo>

namespace {

// An offline device: the engine without links, answering each frame at once.
class VrOffLineReader : public IKxInProcessReader
{
public:
    explicit VrOffLineReader(std::unique_ptr<VrReaderEngine> engine) : m_engine(std::move(engine))
    {
    }
    QByteArray handleRequest(const QByteArray &frame) override
    {
        const VrReaderEngine::Outcome out = m_engine->handleFrame(frame);
        if (out.restart)
            m_engine->restart();
        return out.reply;
    }

private:
    std::unique_ptr<VrReaderEngine> m_engine;
};

}  // namespace

namespace VrModel {

QSharedPointer<const VrCommandTable> loadTable(const QString &modelsDir, const QString &model,
                                               QString *canonicalModel, QString *error)
{
    KxDeviceConfigs configs(KxDescriptionDirs::fromModelsDir(modelsDir), QStringLiteral("en"));
    if (!configs.load()) {
        *error = QStringLiteral("cannot read the model descriptions in %1").arg(modelsDir);
        return {};
    }
    KxDeviceConfig entry;
    QString name = model;
    if (!configs.findDevice(name, entry) && !configs.findDevice("KXS-" + name, entry)) {
        *error = QStringLiteral("unknown model %1").arg(model);
        return {};
    }
    auto table = QSharedPointer<VrCommandTable>::create();
    if (!table->loadModelDir(configs.modelDir(entry), error))
        return {};
    table->addSpecialCommands();
    if (canonicalModel)
        *canonicalModel = entry.name.isEmpty() ? entry.id : entry.name;
    return table;
}

QString macFor(const QString &serial)
{
    const QByteArray h = QCryptographicHash::hash(serial.toUtf8(), QCryptographicHash::Sha1);
    QStringList parts{QStringLiteral("02"), QStringLiteral("4B")};
    for (int i = 0; i < 4; ++i)
        parts << QString::number(quint8(h[i]), 16).rightJustified(2, '0').toUpper();
    return parts.join(':');
}

KxInProcessReaderPtr createOffLineReader(const QString &deviceId, const QString &xml,
                                         const QString &cfgPath, QString *error)
{
    QString fail;
    QFile f(xml);
    QDomDocument doc;
    if (!f.open(QIODevice::ReadOnly) || !doc.setContent(&f)
        || doc.documentElement().tagName() != QLatin1String("OffLineDevice")) {
        fail = QStringLiteral("cannot read offline description %1").arg(xml);
    }
    const QDomElement root = doc.documentElement();
    QSharedPointer<VrCommandTable> table;
    if (fail.isEmpty()) {
        const QString modelDir = QFileInfo(cfgPath).absolutePath() + '/' + root.attribute("Dir");
        table = QSharedPointer<VrCommandTable>::create();
        if (!table->loadModelDir(modelDir, &fail))
            table.reset();
    }
    if (!table) {
        if (error)
            *error = fail;
        return nullptr;
    }
    table->addSpecialCommands();
    VrIdentity id;
    id.kind = VrIdentity::Serial;
    id.model = root.attribute("Model");
    id.serial = deviceId;
    for (QDomElement e = root.firstChildElement("Info"); !e.isNull();
         e = e.nextSiblingElement("Info")) {
        if (e.attribute("Key") == QLatin1String("Serial Number"))
            id.serial = e.attribute("Value");
    }
    id.mac = macFor(id.serial);
    auto engine = std::make_unique<VrReaderEngine>(table, id, QString());
    // Preset values of the description become the running values.
    QByteArray body;
    const QDomElement values = root.firstChildElement("Values");
    for (QDomElement c = values.firstChildElement("Command"); !c.isNull();
         c = c.nextSiblingElement("Command")) {
        const QByteArray frame = "\x7E\x01" "0000#" + c.attribute("CommandName").toUtf8()
            + c.attribute("Value").toUtf8() + ";\x03";
        engine->handleFrame(frame);
    }
    return std::make_unique<VrOffLineReader>(std::move(engine));
}

}  // namespace VrModel
