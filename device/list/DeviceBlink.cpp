#include "DeviceBlink.h"

#include "KxDataStreamTypes.h"
#include "KxDeviceConnector.h"
#include "KxDeviceKit.h"
#include "KxLoginedDevicesManage.h"
#include "USBDeviceManager.h"

#include <QDebug>
#include <QPointer>
#include <QThread>

namespace DeviceBlink
{

Path pathFor(const KxDeviceInfoMap &info)
{
    const auto it = info.constFind(QStringLiteral("Supp Blink Notify"));
    if (it == info.constEnd())
        return Path::Commands;
    return it.value().trimmed() == QLatin1String("1") ? Path::Kit : Path::None;
}

QList<Step> commandSequence(const QString &original)
{
    return {{QStringLiteral("ILLSCN"), QStringLiteral("0"), 25},
            {QStringLiteral("ILLSCN"), QStringLiteral("2"), 25},
            {QStringLiteral("ILLSCN"), original, 25},
            {QStringLiteral("SCNTRG"), QStringLiteral("1"), 25},
            {QStringLiteral("SCNTRG"), QStringLiteral("0"), 0}};
}

namespace
{

bool runSequence(KxDeviceConnector &connector, const QString &id)
{
    QByteArray original;
    const int result = connector.queryCommand(1, QStringLiteral("@ILLSCN*"), original);
    qDebug() << "DeviceBlink::blink()..." << id << "result=" << result;
    if (result != DataResult_Ack)
        return false;
    // Running values only ("#"), so nothing of the blink is stored in the reader.
    for (const Step &s : commandSequence(QString::fromUtf8(original))) {
        QByteArray v;
        connector.queryCommand(1, QLatin1Char('#') + s.code + s.value, v);
        if (s.waitMsAfter > 0)
            QThread::msleep(ulong(s.waitMsAfter));
    }
    return true;
}

} // namespace

Outcome blink(const KxDeviceInfoMap &info)
{
    const QString id = info.value(QStringLiteral("Device Id"));
    switch (pathFor(info)) {
    case Path::None:
        return Outcome::Skipped;
    case Path::Kit:
        return KxDeviceKit::Instance()->blinkNotify(info) ? Outcome::Done : Outcome::Failed;
    case Path::Commands:
        break;
    }
    if (id.isEmpty() || info.contains(QStringLiteral("offLine")))
        return Outcome::Failed;

    // Opened for editing or from the details' switch: a second connector would close that
    // link when it lets go, so the blink borrows it.
    const QPointer<KxDeviceConnector> held = KxLoginedDevicesManage::instance()->device(id);
    if (held && (held->isConnected() || KxDeviceKit::Instance()->isConnected(id)))
        return runSequence(*held, id) ? Outcome::Done : Outcome::Failed;

    USBDeviceManager *usb = USBDeviceManager::instance();
    const bool notifications = usb->notificationsEnabled();
    usb->setNotificationsEnabled(false);
    KxDeviceConnector connector(id);
    KxDeviceInfoMap map = info;
    map.remove(QStringLiteral("Device Id"));
    connector.setDeviceInfo(map);
    bool ok = connector.connectDevice(true, false);
    if (ok) {
        ok = runSequence(connector, id);
        connector.disconnectDevice(false);
    }
    usb->setNotificationsEnabled(notifications);
    return ok ? Outcome::Done : Outcome::Failed;
}

} // namespace DeviceBlink
