#pragma once
// An isolated environment for main window tests: a temporary data directory, English texts,
// the start-up wiring, no scanning of this machine, and a scripted UI backend.
#include "IPluginWidget.h"
#include "KxAppWiring.h"
#include "KxConfig.h"
#include "KxDeviceAlias.h"
#include "KxDeviceKit.h"
#include "KxI18nUtil.h"
#include "KxScriptedUiBackend.h"

#include <QCoreApplication>
#include <QTemporaryDir>

class MainWinTestEnv
{
public:
    MainWinTestEnv()
    {
        KxConfig::instance()->setDataDir(m_data.path());
        KxDeviceAlias::instance()->load(KxConfig::instance()->aliasFile());
        KxI18nUtil::instance()->loadMain(QStringLiteral(BREVAN_SOURCE_DIR "/models/resources"),
                                         QStringLiteral("en"));
        KxAppWiring::install();
        KxDeviceKit *kit = KxDeviceKit::Instance();
        kit->setSystemSerialPortsEnabled(false);
        kit->setSerialPorts({});
        kit->setScanAddresses(QString());
        qApp->setProperty("localSetting_netDevFreshTimes", QStringLiteral("2"));
        qApp->setProperty("localSetting_deviceAliveTimes", QStringLiteral("10"));
    }
    QString dataDir() const { return m_data.path(); }
    KxScriptedUiBackend ui;

private:
    QTemporaryDir m_data;
};

// A panel that records what the main window asks of it.
class RecordingPanel : public IMainFramePanel
{
    Q_OBJECT
public:
    using IMainFramePanel::IMainFramePanel;
    QStringList calls;
    QString device;
    QVariant mode;
    bool busy = false;
    bool leavable = true;

    bool openDeviceById(const QString &id, const QVariant &m) override
    {
        calls << QStringLiteral("setDevice");
        device = id;
        mode = m;
        return true;
    }
    bool checkLeave() override { return leavable; }
    bool isBusy() override { return busy; }
    bool stopBusy() override
    {
        calls << QStringLiteral("stopBusy");
        return true;
    }
    void enter(const QVariant &) override { calls << QStringLiteral("enter"); }
    void leave(const QVariant &) override { calls << QStringLiteral("leave"); }
    bool closing(const QVariant &) override
    {
        calls << QStringLiteral("closing");
        return true;
    }
    bool isDeviceEditClient() const override { return true; }
};
