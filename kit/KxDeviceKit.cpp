#include "KxDeviceKit.h"

#include "KxDataStreamMaker.h"
#include "KxDataStreamParser.h"
#include "KxDeviceLink.h"
#include "KxDeviceScanner.h"
#include "KxDiscovery.h"

#include <QCoreApplication>
#include <QDebug>
#include <QThread>
#include <QUuid>

namespace {

QString linkKey(const QString &id, int port)
{
    return QString::number(port) + QLatin1Char(':') + id;
}

// Default scan list when neither the environment nor a setter names one: every loopback
// address a virtual reader may take.
const char kDefaultScanList[] = "127.0.0.1-127.0.0.254";

}  // namespace

KxDeviceKit *KxDeviceKit::Instance()
{
    static QMutex mutex;
    static KxDeviceKit *instance = nullptr;
    QMutexLocker lock(&mutex);
    if (!instance) {
        instance = new KxDeviceKit;
        if (QCoreApplication::instance()) {
            instance->moveToThread(QCoreApplication::instance()->thread());
            connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, instance,
                    &KxDeviceKit::shutdown);
        }
    }
    return instance;
}

KxDeviceKit::KxDeviceKit(QObject *parent) : QObject(parent)
{
    // Receivers on other threads get the signals queued; the map must be a known type there.
    qRegisterMetaType<QMap<QString, QString>>("QMap<QString,QString>");
    qRegisterMetaType<KxDeviceInfoMap>("KxDeviceInfoMap");
    KxDeviceScanner::Sink sink;
    sink.updated = [this](const QString &id, const KxDeviceInfoMap &info) {
        post([this, id, info] { emit deviceUpdated(id, info); });
    };
    sink.offline = [this](const QString &id) { post([this, id] { emit deviceOffLine(id); }); };
    sink.serialEnumEnd = [this] { post([this] { emit serialPortDeviceEnumEnd(); }); };
    sink.result = [this](int type, const QString &sn, const QString &mac, int result) {
        post([this, type, sn, mac, result] {
            switch (type) {
            case KxDiscovery::NetworkResult: emit deviceNetworkChanged(sn, mac, result); break;
            case KxDiscovery::AliasResult: emit deviceAliasChanged(sn, mac, result); break;
            case KxDiscovery::GroupResult: emit deviceNetworkGroup(sn, mac, result); break;
            default:
                qInfo().noquote() << "KxDeviceKit::blinkNotify()... result" << sn << mac << result;
            }
        });
    };
    auto idHeld = [this](const QString &id) {
        return isConnected(id, DevicePort_Main) || isConnected(id, DevicePort_Log);
    };
    auto portHeld = [this](const QString &port) {
        QMutexLocker lock(&m_mutex);
        for (const auto &l : qAsConst(m_links))
            if (l->linkSpec().transport == KxLinkSpec::Transport::Serial && l->linkSpec().serialPort == port)
                return true;
        return false;
    };
    m_scanner = new KxDeviceScanner(sink, idHeld, portHeld);
    QStringList rejected;
    QList<KxScanTarget> targets = KxAddressPolicy::scanTargetsFromEnvironment(&rejected);
    if (qEnvironmentVariableIsEmpty("BREVAN_SCAN_ADDRESSES"))
        targets = KxAddressPolicy::parseScanTargets(QString::fromLatin1(kDefaultScanList));
    for (const QString &r : qAsConst(rejected))
        qWarning().noquote() << "KxDeviceKit::KxDeviceKit()... scan address refused:" << r;
    m_scanner->setTargets(targets);
    m_scanner->setSerialPorts({}, true);
    m_discoveryThread = new QThread;
    m_discoveryThread->setObjectName(QStringLiteral("kit discovery"));
    m_scanner->moveToThread(m_discoveryThread);
    m_discoveryThread->start();
}

KxDeviceKit::~KxDeviceKit()
{
    shutdown();
}

void KxDeviceKit::shutdown()
{
    QMap<QString, std::shared_ptr<KxDeviceLink>> links;
    {
        QMutexLocker lock(&m_mutex);
        links.swap(m_links);
    }
    for (const auto &l : qAsConst(links))
        l->close();
    links.clear();
    if (m_discoveryThread) {
        QMetaObject::invokeMethod(m_scanner, &QObject::deleteLater, Qt::QueuedConnection);
        m_discoveryThread->quit();
        m_discoveryThread->wait();
        delete m_discoveryThread;
        m_discoveryThread = nullptr;
        m_scanner = nullptr;
    }
}

void KxDeviceKit::post(std::function<void()> fn)
{
    QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection);
}

void KxDeviceKit::onScanner(std::function<void()> fn, bool blocking)
{
    if (!m_scanner)
        return;
    if (QThread::currentThread() == m_discoveryThread)
        fn();
    else
        QMetaObject::invokeMethod(m_scanner, std::move(fn),
                                  blocking ? Qt::BlockingQueuedConnection : Qt::QueuedConnection);
}

std::shared_ptr<KxDeviceLink> KxDeviceKit::link(const QString &id, int port) const
{
    QMutexLocker lock(&m_mutex);
    return m_links.value(linkKey(id, port));
}

// ---- links -----------------------------------------------------------------------------------

bool KxDeviceKit::openLink(const KxLinkSpec &params)
{
    const QString key = linkKey(params.id, params.port);
    if (const auto existing = link(params.id, params.port)) {
        if (existing->isUp())
            return true;
        disconnectFromDeviceEx(params.id, params.port);  // a link that gave up or is retrying
    }
    const QString id = params.id;
    const bool logLink = params.port == DevicePort_Log;
    KxDeviceLink::Sink sink;
    sink.stateChanged = [this, id, logLink](bool up) {
        post([this, id, logLink, up] {
            if (!logLink)
                emit deviceConnectChanged(id, up);
            else if (!up)
                emit logDisconnect(id);
        });
    };
    sink.resultData = [this, id](const QByteArray &d) { post([this, id, d] { emit barcodeReceived(id, d); }); };
    sink.message = [this, id](const QByteArray &d) { post([this, id, d] { emit messageReceived(id, d); }); };
    sink.logData = [this, id](const QByteArray &frame) {
        post([this, id, d = logBytes(frame)] { emit logDataReceived(id, d); });
    };

    auto l = std::make_shared<KxDeviceLink>(params, sink);
    QString error;
    if (!l->open(&error)) {
        qWarning().noquote() << "KxDeviceKit::connectToDevice()... failed:" << params.id << error;
        return false;
    }
    QMutexLocker lock(&m_mutex);
    m_links.insert(key, l);
    return true;
}

bool KxDeviceKit::connectToDevice(const QString &id, EConnectType type, bool claim,
                                  EDevicePortType port)
{
    KxKnownDevice device;
    if (!m_scanner || !m_scanner->find(id, &device)) {
        qWarning().noquote() << "KxDeviceKit::connectToDevice()... unknown device" << id;
        return false;
    }
    KxLinkSpec params;
    params.id = id;
    params.port = port;
    params.connectType = port == DevicePort_Log ? ConnectType_Log : type;
    params.reconnect = claim;
    if (device.serial) {
        if (port == DevicePort_Log)
            return false;  // serial readers have no log port
        params.transport = KxLinkSpec::Transport::Serial;
        params.serialPort = device.portPath;
    } else {
        params.transport = KxLinkSpec::Transport::Tcp;
        const QString portKey = port == DevicePort_Log ? QStringLiteral("Log Port")
                                                       : QStringLiteral("Cmd Port");
        const quint16 fallback = port == DevicePort_Log ? quint16(KxAddressPolicy::kDefaultCommandPort + 1)
                                                        : KxAddressPolicy::kDefaultCommandPort;
        bool ok = false;
        const uint p = device.info.value(portKey).toUInt(&ok);
        params.tcpPort = ok && p > 0 && p < 65536 ? quint16(p) : fallback;
        params.address = device.address;
    }
    return openLink(params);
}

bool KxDeviceKit::connectToDevice_Cmd(const QString &id, const QString &address)
{
    KxLinkSpec params;
    params.id = id;
    const QString a = address.trimmed();
    if (a.startsWith(QLatin1Char('/'))) {
        params.transport = KxLinkSpec::Transport::Serial;
        params.serialPort = a;
    } else {
        const int colon = a.lastIndexOf(QLatin1Char(':'));
        QHostAddress host;
        bool ok = true;
        uint port = KxAddressPolicy::kDefaultCommandPort;
        if (colon > 0)
            port = a.mid(colon + 1).toUInt(&ok);
        if (!ok || port == 0 || port > 65535 || !host.setAddress(colon > 0 ? a.left(colon) : a)) {
            qWarning().noquote() << "KxDeviceKit::connectToDevice_Cmd()... bad address" << address;
            return false;
        }
        params.transport = KxLinkSpec::Transport::Tcp;
        params.address = host;
        params.tcpPort = quint16(port);
    }
    return openLink(params);
}

bool KxDeviceKit::connectToOffLineDevice(const QString &id, const QString &xml, const QString &cfgPath)
{
    KxLinkSpec params;
    params.id = id;
    params.transport = KxLinkSpec::Transport::InProcess;
    params.reconnect = false;
    params.xml = xml;
    params.cfgPath = cfgPath;
    {
        QMutexLocker lock(&m_mutex);
        params.factory = m_offLineFactory;
    }
    return openLink(params);
}

void KxDeviceKit::setOffLineReaderFactory(KxOffLineReaderFactory factory)
{
    QMutexLocker lock(&m_mutex);
    m_offLineFactory = std::move(factory);
}

void KxDeviceKit::disconnectFromDeviceEx(const QString &id, int port)
{
    std::shared_ptr<KxDeviceLink> l;
    {
        QMutexLocker lock(&m_mutex);
        l = m_links.take(linkKey(id, port));
    }
    if (l)
        l->close();
}

bool KxDeviceKit::isConnected(const QString &id, int port) const
{
    const auto l = link(id, port);
    return l && l->isUp();
}

bool KxDeviceKit::isDeviceRemove(const QString &id) const
{
    if (isConnected(id, DevicePort_Main) || isConnected(id, DevicePort_Log))
        return false;
    return !m_scanner || !m_scanner->find(id, nullptr);
}

KxDeviceInfoMap KxDeviceKit::deviceInfo(const QString &id) const
{
    KxKnownDevice device;
    if (m_scanner && m_scanner->find(id, &device))
        return device.info;
    const auto l = link(id, DevicePort_Main);
    return l ? l->roleInfo() : KxDeviceInfoMap();
}
