#pragma once
// Logging into the readers of a virtual reader process, with their model name known to the
// connector as discovery would report it; settings to change picked from the capabilities;
// changes sent and values read back directly.
#include "KxDataStreamValue.h"
#include "KxDeviceCommand.h"
#include "KxDeviceConnector.h"
#include "KxDeviceKit.h"
#include "VReaderProcess.h"

#include <QtTest>
#include <memory>

namespace VReaderSession {

// A logged-in connector, or null with the reason in why.
inline std::unique_ptr<KxDeviceConnector> login(const VReaderProcess::Reader &r, QString *why = nullptr)
{
    auto fail = [why](const QString &reason) {
        if (why)
            *why = reason;
        return nullptr;
    };
    if (r.serial.isEmpty())
        return fail(QStringLiteral("no reader"));
    auto c = std::make_unique<KxDeviceConnector>(r.serial);
    KxDeviceInfoMap info;
    info.insert(QStringLiteral("Product Name"), r.model);
    c->setDeviceInfo(info);
    if (!c->connectWithAddress(QStringLiteral("%1:%2").arg(r.address).arg(r.port)))
        return fail(QStringLiteral("connect failed"));
    const int code = c->login();
    if (code != 0)
        return fail(QStringLiteral("login %1").arg(code));
    return c;
}

// The first reader of the process, logged in.
inline std::unique_ptr<KxDeviceConnector> login(const VReaderProcess &vp, QString *why = nullptr)
{
    return login(vp.readers().value(0), why);
}

// A reader process of its own with its first reader logged in, the usual start of an end-to-end
// test:   VReaderSession::Started r;  QVERIFY2(r.start({...}), qPrintable(r.why));
struct Started
{
    VReaderProcess process;
    std::unique_ptr<KxDeviceConnector> connector;
    QString why;

    bool start(const QStringList &args)
    {
        if (!process.start(args)) {
            why = QString::fromUtf8(process.errorOutput());
            return false;
        }
        connector = login(process, &why);
        return connector != nullptr;
    }
    KxDeviceConnector *get() const { return connector.get(); }
    QPointer<KxDeviceConnector> pointer() const { return QPointer<KxDeviceConnector>(connector.get()); }
};

// Starts the process and points discovery at it, as the main window's scan finds readers.
// Empty on success, else what went wrong.
inline QString startForDiscovery(VReaderProcess &vp, const QStringList &args, int readers = 1)
{
    if (!vp.start(args))
        return QString::fromUtf8(vp.errorOutput());
    if (vp.readers().size() != readers)
        return QStringLiteral("%1 readers instead of %2").arg(vp.readers().size()).arg(readers);
    KxDeviceKit *kit = KxDeviceKit::Instance();
    kit->setDiscoveryPort(vp.discoveryPort());
    if (kit->setScanAddresses(vp.firstAddress()).size() != 1)
        return QStringLiteral("scan address not taken: ") + vp.firstAddress();
    return QString();
}

// Settings of the link, the log or the reader's identity: changing them would cut the session
// or make the reader another one.
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

// The reader's current value, asked directly; empty without a connector.
inline QByteArray readerValue(KxDeviceConnector *c, const QString &code)
{
    QByteArray v;
    if (c)
        c->queryCommand(1, QLatin1Char('@') + code + QLatin1Char('*'), v);
    return v;
}

// Sends the changes as running changes and waits for every answer; the number acknowledged.
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

}  // namespace VReaderSession
