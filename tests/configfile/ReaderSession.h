#pragma once
// Logging into the readers of a virtual reader process, with their model name known to the
// connector as discovery would report it; settings to change picked from the capabilities.
#include "KxDataStreamValue.h"
#include "KxDeviceCommand.h"
#include "KxDeviceConnector.h"
#include "VReaderProcess.h"

#include <QtTest>
#include <memory>

namespace ReaderSession {

inline std::unique_ptr<KxDeviceConnector> login(const VReaderProcess::Reader &r)
{
    auto c = std::make_unique<KxDeviceConnector>(r.serial);
    KxDeviceInfoMap info;
    info.insert(QStringLiteral("Product Name"), r.model);
    c->setDeviceInfo(info);
    if (!c->connectWithAddress(QStringLiteral("%1:%2").arg(r.address).arg(r.port)))
        return nullptr;
    if (c->login() != 0)
        return nullptr;
    return c;
}

inline bool isLinkCode(const QString &code)
{
    for (const char *p : {"232", "NET", "INTERF", "AUTOUR", "KBW", "CDC", "BOCUSB", "TCP", "FRMTMO",
                          "LOG", "DEV"}) {
        if (code.startsWith(QLatin1String(p)))
            return true;
    }
    return false;
}

// Up to count settings with a numeric option list, each with a value other than its current
// one, taken from the codes of `among` when given.
inline QVector<ChangedCmdInfo> pickChanges(KxDeviceCommand *cmd, int count, int skip = 0,
                                           const QStringList &among = {})
{
    QVector<ChangedCmdInfo> out;
    for (const KxTagInfo &t : cmd->tagList(KxDeviceCommand::Capabilities)) {
        if (out.size() >= count)
            break;
        if (t.result != DataResult_Ack || isLinkCode(t.code)
            || (!among.isEmpty() && !among.contains(t.code)))
            continue;
        QList<int> values;
        if (!KxParseRangesToInt(t.value(), values, 64) || values.size() < 2)
            continue;
        const QByteArray current = cmd->rawValue(t.code);
        bool numeric = false;
        current.toInt(&numeric);
        if (!numeric)
            continue;
        if (skip > 0) {
            --skip;
            continue;
        }
        for (int v : values) {
            if (QByteArray::number(v) != current) {
                ChangedCmdInfo c;
                c.code = t.code;
                c.name = t.code;
                c.value = QByteArray::number(v);
                c.displayValue = c.value;
                out << c;
                break;
            }
        }
    }
    return out;
}

inline QByteArray readerValue(KxDeviceConnector *c, const QString &code)
{
    QByteArray v;
    c->queryCommand(1, QLatin1Char('@') + code + QLatin1Char('*'), v);
    return v;
}

// Sends the changes as running changes and waits for every answer.
inline int sendChanges(KxDeviceCommand *cmd, const QVector<ChangedCmdInfo> &changes, QObject *ctx)
{
    int acked = 0;
    int answered = 0;
    for (const ChangedCmdInfo &ch : changes)
        cmd->sendCmdAsync(ch, ctx, true, [&](bool ok, const QStringList &) {
            acked += ok;
            ++answered;
        });
    QElapsedTimer t;
    t.start();
    while (answered < changes.size() && t.elapsed() < 30000)
        QTest::qWait(5);
    return acked;
}

}  // namespace ReaderSession
