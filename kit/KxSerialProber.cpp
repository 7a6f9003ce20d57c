#include "KxSerialProber.h"

#include "KxDataStreamMaker.h"
#include "KxDataStreamParser.h"
#include "KxFrameAssembler.h"

#include <QDebug>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSerialPort>
#include <QTimer>

struct KxSerialProber::Probe
{
    QSerialPort *port = nullptr;
    KxFrameAssembler assembler{KxFrameAssembler::Side::Client};
};

KxSerialProber::KxSerialProber(QObject *parent) : QObject(parent), m_timer(new QTimer(this))
{
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &KxSerialProber::finishPass);
}

KxSerialProber::~KxSerialProber()
{
    for (auto &p : m_probes)
        delete p.second->port;
}

QByteArray KxSerialProber::identityRequest()
{
    return KxMakeDataStreamCmd("@IDNQRY*", DataProtocol_Settings, true);
}

KxDeviceInfoMap KxSerialProber::parseIdentityReply(const QByteArray &frame)
{
    const KxDataStreamParser parser(frame, DataType_Frame);
    QByteArray json;
    if (!parser.isValid() || parser.getSubTagData(QStringLiteral("IDNQRY"), QString(), json) != DataResult_Ack)
        return {};
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return {};
    KxDeviceInfoMap info;
    const QJsonObject o = doc.object();
    for (auto it = o.begin(); it != o.end(); ++it)
        info.insert(it.key(), it.value().toVariant().toString());
    if (info.value(QStringLiteral("Serial Number")).isEmpty())
        return {};  // nothing to name the reader by
    return info;
}

void KxSerialProber::run(const QStringList &ports,
                         std::function<void(QMap<QString, KxDeviceInfoMap>)> done)
{
    if (isRunning())
        return;
    m_found.clear();
    m_done = std::move(done);
    const QByteArray request = identityRequest();
    for (const QString &path : ports) {
        auto probe = std::make_unique<Probe>();
        probe->port = new QSerialPort(path);
        probe->port->setBaudRate(115200);
        if (!probe->port->open(QIODevice::ReadWrite)) {
            delete probe->port;
            continue;
        }
        probe->port->clear();
        Probe *raw = probe.get();
        connect(probe->port, &QSerialPort::readyRead, this, [this, raw, path] {
            raw->assembler.append(raw->port->readAll());
            KxFrameAssembler::Frame frame;
            while (raw->assembler.next(&frame)) {
                if (frame.type != KxFrameAssembler::FrameType::Binary)
                    continue;  // results of a running reader; the identity reply follows
                const KxDeviceInfoMap info = parseIdentityReply(frame.bytes);
                if (!info.isEmpty()) {
                    m_found.insert(path, info);
                    QTimer::singleShot(0, this, [this, path] { finishPort(path); });
                    return;
                }
            }
        });
        probe->port->write(request);
        m_probes.emplace(path, std::move(probe));
    }
    if (m_probes.empty()) {
        QTimer::singleShot(0, this, &KxSerialProber::finishPass);
        return;
    }
    m_timer->start(kProbeTimeoutMs);
}

void KxSerialProber::finishPort(const QString &path)
{
    auto it = m_probes.find(path);
    if (it == m_probes.end())
        return;
    it->second->port->close();
    it->second->port->deleteLater();
    m_probes.erase(it);
    if (m_probes.empty()) {
        m_timer->stop();
        finishPass();
    }
}

void KxSerialProber::finishPass()
{
    for (auto &p : m_probes) {
        p.second->port->close();
        p.second->port->deleteLater();
    }
    m_probes.clear();
    auto done = std::move(m_done);
    m_done = nullptr;
    if (done)
        done(m_found);
}
