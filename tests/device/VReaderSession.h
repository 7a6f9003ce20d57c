#pragma once
// Logging into a virtual reader started by VReaderProcess, and picking settings to change.
#include "KxDataStreamValue.h"
#include "KxDeviceCommand.h"
#include "KxDeviceConnector.h"
#include "VReaderProcess.h"

#include <memory>

namespace VReaderSession {

// A logged-in connector for the first reader, or null.
inline std::unique_ptr<KxDeviceConnector> login(const VReaderProcess &vp, QString *why = nullptr)
{
    if (vp.readers().isEmpty()) {
        if (why)
            *why = QStringLiteral("no reader");
        return nullptr;
    }
    const VReaderProcess::Reader r = vp.readers().first();
    auto c = std::make_unique<KxDeviceConnector>(r.serial);
    if (!c->connectWithAddress(QStringLiteral("%1:%2").arg(r.address).arg(r.port))) {
        if (why)
            *why = QStringLiteral("connect failed");
        return nullptr;
    }
    const int code = c->login();
    if (code != 0) {
        if (why)
            *why = QStringLiteral("login %1").arg(code);
        return nullptr;
    }
    return c;
}

inline bool isLinkCode(const QString &code)
{
    for (const char *p : {"232", "NET", "INTERF", "AUTOUR", "KBW", "CDC", "BOCUSB", "TCP", "FRMTMO",
                          "LOG"}) {
        if (code.startsWith(QLatin1String(p)))
            return true;
    }
    return false;
}

// Up to count settings with a numeric option list, each with a value different from its
// current one: code -> new value.
inline QVector<ChangedCmdInfo> pickChanges(KxDeviceCommand *cmd, int count, int skip = 0)
{
    QVector<ChangedCmdInfo> out;
    for (const KxTagInfo &t : cmd->tagList(KxDeviceCommand::Capabilities)) {
        if (out.size() >= count)
            break;
        if (t.result != DataResult_Ack || isLinkCode(t.code))
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

// The reader's current value, asked directly.
inline QByteArray readerValue(KxDeviceConnector *c, const QString &code)
{
    QByteArray v;
    c->queryCommand(1, QLatin1Char('@') + code + QLatin1Char('*'), v);
    return v;
}

}  // namespace VReaderSession
