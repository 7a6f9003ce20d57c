#include "FtpServerHost.h"

#include "FtpServer.h"
#include "KxConfig.h"
#include "KxSettings.h"

#include <QDir>
#include <QThread>

FtpServerHost::FtpServerHost(QObject *parent)
    : QObject(parent)
{
}

FtpServerHost::~FtpServerHost()
{
    stop();
}

void FtpServerHost::start(const FtpServerConfig &config)
{
    stop();
    m_thread = new QThread;
    m_thread->setObjectName(QStringLiteral("FtpServer"));
    auto *server = new FtpServer(config);
    server->moveToThread(m_thread);
    m_server = server;
    connect(m_thread, &QThread::finished, server, &QObject::deleteLater);
    connect(server, &FtpServer::uploaded, this, &FtpServerHost::uploaded);
    m_thread->start();
    QMetaObject::invokeMethod(server, [this, server] {
        QString error;
        const bool ok = server->start(&error);
        const quint16 port = server->serverPort();
        QMetaObject::invokeMethod(this, [this, ok, port, error] { emit listening(ok, port, error); },
                                  Qt::QueuedConnection);
    }, Qt::QueuedConnection);
}

// Ending the thread only closes sockets, which never blocks on a client.
void FtpServerHost::stop()
{
    if (!m_thread)
        return;
    m_thread->quit();
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
    m_server = nullptr;
}

bool FtpServerHost::isRunning() const
{
    return m_thread && m_thread->isRunning();
}

FtpServer *FtpServerHost::server() const
{
    return m_server;
}

bool FtpServerHost::configFromSettings(FtpServerConfig *config, QString *error)
{
    KxSettings *settings = KxSettings::instance();
    const QString group = QStringLiteral("ftp");
    bool ok = false;
    const int port = settings->value(group, QStringLiteral("port")).toString().toInt(&ok);
    config->port = ok && port > 0 && port < 65536 ? quint16(port) : 34210;
    config->user = settings->value(group, QStringLiteral("user")).toString();
    config->password = settings->value(group, QStringLiteral("password")).toString();
    config->root = settings->value(group, QStringLiteral("dir")).toString();
    config->certificateDir = KxConfig::instance()->subDir(QStringLiteral("ssl"));
    // Loopback unless the user opens the server to the network, like the log server.
    config->listenAddress = settings->value(group, QStringLiteral("anyAddress")).toString()
                                    == QLatin1String("1")
                                ? QHostAddress(QHostAddress::AnyIPv4)
                                : QHostAddress(QHostAddress::LocalHost);
    if (config->root.isEmpty()) {
        if (error)
            error->clear();
        return false;
    }
    if (!QDir().mkpath(config->root)) {
        if (error)
            *error = config->root;
        return false;
    }
    return true;
}
