#pragma once
// Puts one reader engine on its links: TCP command and log ports and UDP discovery on the
// reader's own address, or a pseudo-terminal. Applies faults, restarts and address moves.
#include "KxFrameAssembler.h"
#include "VrFaults.h"
#include "VrDeviceLog.h"
#include "VrFirmwareInstaller.h"
#include "VrReaderEngine.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <memory>

class QTcpServer;
class QTcpSocket;
class QUdpSocket;
class QTimer;
class VrFtpUploader;
class VrPty;

class VrReaderHost : public QObject
{
    Q_OBJECT
public:
    VrReaderHost(std::unique_ptr<VrReaderEngine> engine, const VrFaults &faults,
                 quint16 discoveryPort, QObject *parent = nullptr);
    ~VrReaderHost() override;

    // Network reader: listens on the identity's address and ports.
    bool startNetwork(QString *error);
    // Serial reader: answers on a new pseudo-terminal.
    bool startPty(QString *error);

    QString ptyPath() const;
    VrReaderEngine &engine() { return *m_engine; }
    QStringList logLines() const { return m_log; }
    // Load mode: a continuous read mode sends this many results per second, made from the
    // scene's known codes (0: reads take and decode images).
    void setLoadRate(int resultsPerSecond) { m_loadRate = qMax(0, resultsPerSecond); }
    // The stored log: kept in path (empty: memory only), grown to at least fillBytes with
    // earlier history.
    void setDeviceLog(const QString &path, qint64 fillBytes);
    const VrDeviceLog &deviceLog() const { return *m_deviceLog; }

signals:
    void logLine(const QString &line);

private:
    struct Link;
    bool listen(QString *error);
    void closeListeners();
    void addSocket(QTcpSocket *socket, bool logLink);
    void onData(Link *link, const QByteArray &bytes);
    void handleFrame(Link *link, const KxFrameAssembler::Frame &frame);
    bool handleLinkFrame(Link *link, quint8 kind, const QByteArray &payload);
    bool handleLogRequest(Link *link, const QByteArray &frame);
    // Firmware transfer steps (VrReaderHostFirmware.cpp).
    void handleFirmware(Link *link, const QByteArray &payload);
    void send(Link *link, const QByteArray &reply);
    void dropLink(Link *link);
    // Refuses a link its role (8A, status 21, the information map) and closes it.
    void refuseAndClose(Link *link);
    void onDatagrams();
    void restart();
    void log(const QString &line);
    void updateHolder();
    // Result frames go to the full link holding the reader and to the serial link
    // (VrReaderHostReads.cpp).
    void sendResults(const QList<QByteArray> &frames);
    // Images left by reads go to the FTP server the reader is set to (VrReaderHostFtp.cpp).
    void uploadImages();
    bool hasResultLink() const;
    void updateReadLoop();
    void readTick();

    std::unique_ptr<VrReaderEngine> m_engine;
    VrFaults m_faults;
    quint16 m_discoveryPort;
    QTcpServer *m_cmdServer = nullptr;
    QTcpServer *m_logServer = nullptr;
    QUdpSocket *m_udp = nullptr;
    VrPty *m_pty = nullptr;
    std::vector<std::unique_ptr<Link>> m_links;
    Link *m_holder = nullptr;  // the link holding the reader ("Is Connected To Configtool")
    QStringList m_log;
    std::unique_ptr<VrDeviceLog> m_deviceLog = std::make_unique<VrDeviceLog>();
    qint64 m_replies = 0;
    bool m_restarting = false;
    QTimer *m_readTimer = nullptr;  // continuous read modes
    VrFtpUploader *m_ftpUploader = nullptr;
    int m_loadRate = 0;
    VrFirmwareInstaller m_firmware;
    Link *m_firmwareLink = nullptr;  // the link carrying a transfer
    qint64 m_loadSent = 0;
    qint64 m_loadStart = 0;
};
