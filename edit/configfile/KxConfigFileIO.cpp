#include "KxConfigFileIO.h"

#include "KxCmdFraming.h"
#include "KxDataStreamParser.h"
#include "KxDeviceCommand.h"
#include "KxDeviceConfigs.h"
#include "KxDeviceConnector.h"
#include "KxExportList.h"

#include <QDebug>
#include <QPointer>
#include <QSet>

namespace {
const QString kLuaQry = QStringLiteral("LUAQRY");
const QString kLuaAdd = QStringLiteral("LUAADD");
const QString kDfmAdd = QStringLiteral("DFMADD");
const QString kDfmStored = QStringLiteral("DFMQCU");

const KxDeviceConfigs *orInstalled(const KxDeviceConfigs *configs)
{
    return configs ? configs : KxDeviceConfigs::instance();
}

// The reader's side of a file entry: a script in the file is the reader's script query.
QString readerCode(const QString &fileCode)
{
    return fileCode == kLuaAdd ? kLuaQry : fileCode;
}

bool readerHas(KxDeviceCommand *cmd, const QString &code)
{
    if (cmd->hasCmd(code))
        return true;
    for (const ChangedCmdInfo &c : cmd->appliedChanges()) {
        if (c.code == code)
            return true;
    }
    return false;
}

// The codes of the list the reader answers as unknown, asked in one request.
QStringList unknownOf(KxDeviceConnector *connector, const QStringList &codes)
{
    QStringList unknown;
    if (codes.isEmpty() || !connector)
        return unknown;
    const QString request = QLatin1Char('@') + codes.join(QStringLiteral("^;")) + QLatin1Char('^');
    KxDataStreamParser parser;
    if (!connector->queryParsed(DataProtocol_Settings, request, parser) && !parser.isValid())
        return unknown;
    for (const KxTagInfo &t : parser.tags()) {
        if (t.result == DataResult_Unknown && codes.contains(t.code))
            unknown << t.code;
    }
    return unknown;
}

}  // namespace

namespace KxConfigFileIO {

QString readerModel(const KxDeviceConnector *connector)
{
    return connector ? connector->deviceInfo().value(QStringLiteral("Product Name")) : QString();
}

KxConfigEntries exportEntries(KxDeviceConnector *connector, const KxDeviceConfigs *configs)
{
    KxDeviceCommand *cmd = connector ? connector->command() : nullptr;
    if (!cmd)
        return {};
    const KxExportList list =
        KxExportList::forModel(orInstalled(configs), readerModel(connector), cmd->isRfid());
    const auto lookup = [cmd](const QString &code, QByteArray &value) {
        if (!readerHas(cmd, code))
            return false;
        value = cmd->value(code);
        return true;
    };
    // The current auto-sleep value is a temporary one set for editing; the kept one is exported.
    const QByteArray savedSleep = cmd->savedAutoSleep();
    return KxConfigFile::exportEntries(list.codes, lookup,
                                       cmd->hasSavedAutoSleep() ? &savedSleep : nullptr);
}

bool exportToFile(KxDeviceConnector *connector, const QString &path, QString *error,
                  const KxDeviceConfigs *configs)
{
    qInfo() << "KxConfigFileIO::exportToFile()..." << path;
    if (!connector || !connector->command()) {
        if (error)
            *error = QStringLiteral("no reader");
        return false;
    }
    const KxConfigEntries entries = exportEntries(connector, configs);
    if (entries.isEmpty()) {
        if (error)
            *error = QStringLiteral("nothing to export for model %1").arg(readerModel(connector));
        return false;
    }
    const QByteArray xml = KxConfigFile::toXml(readerModel(connector), entries);
    QString why;
    if (!KxConfigFile::writeFile(path, xml, &why)) {
        qWarning() << "KxConfigFileIO::exportToFile()...write failed:" << why;
        if (error)
            *error = why;
        return false;
    }
    return true;
}

int checkImportFile(KxDeviceConnector *connector, const QString &path)
{
    KxConfigFile::ParsedFile parsed;
    const int result = KxConfigFile::checkFile(path, readerModel(connector), &parsed);
    if (result != KxConfigFile::Check_Ok)
        qInfo() << "KxConfigFileIO::checkImportFile()..." << path << result << parsed.error
                << parsed.deviceType;
    return result;
}

ImportResult importFile(KxDeviceConnector *connector, const QString &path)
{
    ImportResult r;
    r.insert(QStringLiteral("result"), QStringLiteral("0"));
    KxDeviceCommand *cmd = connector ? connector->command() : nullptr;
    if (!cmd)
        return r;
    if (cmd->hasCmd(QStringLiteral("MPCADD"))) {
        QByteArray v;
        if (cmd->query(DataProtocol_Settings, QStringLiteral("@IPPOPM*"), v) == DataResult_Ack)
            r.insert(QStringLiteral("IPPOPM"), QString::fromUtf8(v));
    }
    const KxConfigFile::ParsedFile parsed = KxConfigFile::readFile(path);
    if (parsed.check != KxConfigFile::Check_Ok) {
        qWarning() << "KxConfigFileIO::importFile()...cannot read" << path << parsed.error;
        return r;
    }
    QVector<ChangedCmdInfo> changes;
    QStringList failed;
    QStringList unknown;
    QStringList moved;  // codes whose value the file changes
    bool hasFormats = false;
    for (const KxConfigEntry &e : parsed.entries)
        hasFormats = hasFormats || e.code == kDfmAdd;
    for (const KxConfigEntry &e : parsed.entries) {
        if (!KxProtocol::isValidCode(e.code)) {
            if (!unknown.contains(e.code))
                unknown << e.code;
            continue;
        }
        // The stored data formats are read-only on the reader: beside the formats in use they
        // add nothing (an import stores what it sends); alone they are the formats to send.
        if (e.code == kDfmStored && hasFormats)
            continue;
        ChangedCmdInfo c;
        c.code = e.code == kDfmStored ? kDfmAdd : e.code;
        c.value = e.value.toUtf8();
        if (cmd->hasCmd(c.code) && cmd->value(c.code) != c.value && !moved.contains(c.code))
            moved << c.code;
        c.displayValue = e.value;
        changes << c;
    }
    QStringList refused;
    // Values holding separators travel alone as binary requests, in the file's order.
    cmd->saveCmds(changes, true, refused);
    refused.removeDuplicates();
    const QStringList asked = refused;
    for (const QString &code : unknownOf(connector, asked)) {
        refused.removeAll(code);
        if (!unknown.contains(code))
            unknown << code;
    }
    for (const QString &code : refused) {
        if (!failed.contains(code))
            failed << code;
    }
    qInfo() << "KxConfigFileIO::importFile()..." << path << "sent" << changes.size() << "failed"
            << failed << "unknown" << unknown;
    r.insert(QStringLiteral("result"), failed.isEmpty() ? QStringLiteral("1") : QStringLiteral("0"));
    r.insert(QStringLiteral("FailCmdsCnt"), QString::number(failed.size()));
    r.insert(QStringLiteral("FailCmds"), KxConfigFile::joinCodes(failed));
    r.insert(QStringLiteral("UnknownCmdsCnt"), QString::number(unknown.size()));
    r.insert(QStringLiteral("UnknownCmds"), KxConfigFile::joinCodes(unknown));
    for (const QString &code : qAsConst(failed))
        moved.removeAll(code);
    r.insert(QStringLiteral("ChangedCmds"), moved.join(QLatin1Char(',')));
    if (r.contains(QStringLiteral("IPPOPM"))) {
        QByteArray v;
        if (cmd->query(DataProtocol_Settings, QStringLiteral("@IPPOPM*"), v) == DataResult_Ack)
            r.insert(QStringLiteral("IPPOPMAfter"), QString::fromUtf8(v));
    }
    return r;
}

QStringList restartCodes(const QStringList &changed,
                         const std::function<QString(const QString &)> &warning)
{
    QStringList out;
    for (const QString &code : changed) {
        if (warning && !warning(code).isEmpty() && !out.contains(code))
            out << code;
    }
    return out;
}

void importFileAsync(KxDeviceConnector *connector, const QString &path, QObject *context,
                     const std::function<void(const ImportResult &)> &done)
{
    KxDeviceCommand *cmd = connector ? connector->command() : nullptr;
    if (!cmd) {
        if (done)
            done(importFile(nullptr, path));
        return;
    }
    QPointer<KxDeviceConnector> guard(connector);
    QPointer<QObject> ctx(context);
    const bool hadContext = context != nullptr;
    cmd->asyncProcess([guard, path](KxDeviceCommandPtr) {
        QMap<QString, QByteArray> out;
        const ImportResult r = importFile(guard.data(), path);
        for (auto it = r.constBegin(); it != r.constEnd(); ++it)
            out.insert(it.key(), it.value().toUtf8());
        return out;
    }, [ctx, hadContext, done](KxDeviceCommandPtr command, QMap<QString, QByteArray> out) {
        ImportResult r;
        for (auto it = out.constBegin(); it != out.constEnd(); ++it)
            r.insert(it.key(), QString::fromUtf8(it.value()));
        // The link warning depends on the connection, which only the main thread reads.
        const QStringList restart =
            command ? restartCodes(r.value(QStringLiteral("ChangedCmds")).split(
                                       QLatin1Char(','), Qt::SkipEmptyParts),
                                   [&command](const QString &code) {
                                       return command->rebootWarning(code);
                                   })
                    : QStringList();
        if (!restart.isEmpty()) {
            r.insert(QStringLiteral("Reboot"), QStringLiteral("1"));
            r.insert(QStringLiteral("RebootCmds"), restart.join(QLatin1Char(',')));
            qInfo() << "KxConfigFileIO::importFileAsync()...restart needed for" << restart;
            // Pages showing the reader read every value again: its link settings changed.
            emit command->cmdValueChanged_ImportReboot();
        }
        if (!done || (hadContext && !ctx))
            return;
        done(r);
    });
}

QVector<KxConfigDiff> compare(KxDeviceConnector *connector, const KxConfigEntries &file,
                              const KxDeviceConfigs *configs)
{
    QVector<KxConfigDiff> out;
    KxDeviceCommand *cmd = connector ? connector->command() : nullptr;
    if (!cmd)
        return out;
    const QMap<QString, QString> names =
        KxExportList::displayNamesForModel(orInstalled(configs), readerModel(connector));
    // A code given twice counts with its last value, at its first place.
    QStringList order;
    QMap<QString, QString> values;
    for (const KxConfigEntry &e : file) {
        if (!values.contains(e.code))
            order << e.code;
        values.insert(e.code, e.value);
    }
    for (const QString &code : order) {
        const QString own = readerCode(code);
        KxConfigDiff d;
        d.code = code;
        d.name = names.value(own, code);
        d.fileValue = values.value(code);
        d.readerHasCmd = readerHas(cmd, own);
        d.readerValue = d.readerHasCmd ? cmd->valueText(own) : QString();
        if (d.readerHasCmd && d.readerValue == d.fileValue)
            continue;
        out << d;
    }
    return out;
}

}  // namespace KxConfigFileIO
