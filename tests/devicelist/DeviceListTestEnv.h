#pragma once
// A quiet, isolated environment for device list tests: a temporary data directory (settings and
// alias file), English texts, no scanning of this machine's serial ports or addresses.
#include "KxConfig.h"
#include "KxDeviceAlias.h"
#include "KxDeviceKit.h"
#include "KxI18nUtil.h"

#include <QTemporaryDir>

class DeviceListTestEnv
{
public:
    DeviceListTestEnv()
    {
        KxConfig::instance()->setDataDir(m_data.path());
        KxDeviceAlias::instance()->load(KxConfig::instance()->aliasFile());
        KxI18nUtil::instance()->loadMain(QStringLiteral(BREVAN_SOURCE_DIR "/models/resources"),
                                         QStringLiteral("en"));
        KxDeviceKit *kit = KxDeviceKit::Instance();
        kit->setSystemSerialPortsEnabled(false);
        kit->setSerialPorts({});
        kit->setScanAddresses(QString());
    }
    QString dataDir() const { return m_data.path(); }

private:
    QTemporaryDir m_data;
};

// A network reader's map as discovery reports it.
inline KxDeviceInfoMap networkReader(const QString &sn, const QString &ip,
                                     const QString &model = "KXS-FM800")
{
    return {{"Product Name", model},
            {"Serial Number", sn},
            {"MAC Address", "02:4B:00:00:00:" + sn.right(2)},
            {"Ip Address", ip},
            {"SubNetmask", "255.0.0.0"},
            {"Gateway Address", "127.0.0.1"},
            {"Use DHCP", "0"},
            {"Online", "1"}};
}

inline KxDeviceInfoMap serialReader(const QString &sn, const QString &port)
{
    return {{"Product Name", "KXS-HS120"},
            {"Serial Number", sn},
            {"Device Type", "USB CDC"},
            {"Port Name", port},
            {"Online", "1"}};
}
