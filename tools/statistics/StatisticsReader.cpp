#include "StatisticsReader.h"

#include "KxDataStreamParser.h"
#include "KxDataStreamValue.h"
#include "KxDeviceCommand.h"
#include "KxDeviceConnector.h"
#include "KxDeviceImageRequest.h"

#include <QDebug>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

namespace {
// The statistics page only reads; the login of every page of this program.
const char *const kUser = "admin";
const char *const kPassword = "719364";

QSize sensorOf(KxDeviceCommand *cmd)
{
    if (!cmd)
        return QSize();
    // "1920W1200H"
    QSize s;
    for (const auto &tag : KxSplitLetterTags(cmd->rawValue(QStringLiteral("IMGGWH")))) {
        if (tag.first == QLatin1String("W"))
            s.setWidth(tag.second.toInt());
        else if (tag.first == QLatin1String("H"))
            s.setHeight(tag.second.toInt());
    }
    return s;
}
}  // namespace

StatisticsReader::StatisticsReader(const QString &deviceId, const KxDeviceInfoMap &info, QObject *parent)
    : QObject(parent), m_deviceId(deviceId), m_info(info)
{
    m_history.setPath(StatisticsHistory::pathFor(serialNumber(), deviceId));
}

StatisticsReader::~StatisticsReader()
{
    m_stopped = true;
    release();
}

QString StatisticsReader::serialNumber() const
{
    return m_info.value(QStringLiteral("Serial Number"));
}

QString StatisticsReader::productName() const
{
    return productNameOf(m_info);
}

QString StatisticsReader::productNameOf(const KxDeviceInfoMap &info)
{
    const QString name = info.value(QStringLiteral("Product Name"));
    if (!name.isEmpty())
        return name;
    // "PRNQRY" holds the reader's product lines, "Product Name:KXS-FM800" among them.
    for (const QString &line : info.value(QStringLiteral("PRNQRY")).split(QLatin1Char('\n'))) {
        const QString l = line.trimmed();
        if (l.startsWith(QLatin1String("Product Name:")))
            return l.mid(13).trimmed();
    }
    return QString();
}

void StatisticsReader::setState(State s)
{
    if (m_state == s)
        return;
    m_state = s;
    emit stateChanged(int(s));
}

void StatisticsReader::start()
{
    m_stopped = false;
    // Read once: the settings file is read straight through, and replies come twice a second.
    m_intervalMinutes = StatisticsHistory::intervalMinutes();
    if (m_state == Idle || m_state == Failed)
        connectNow();
}

void StatisticsReader::stop()
{
    m_stopped = true;
    release();
    setState(Idle);
}

void StatisticsReader::release()
{
    if (!m_connector)
        return;
    qInfo() << "StatisticsReader::release()..." << m_deviceId;
    KxDeviceConnector *c = m_connector.data();
    m_connector.clear();
    c->disconnect(this);
    if (KxDeviceCommand *cmd = c->command())
        cmd->disconnect(this);
    // Closing the link ends a request still on the wire at once, so the worker's join is short.
    // Polling is not switched off first: that would clear the reader's counters.
    c->logout();
    c->disconnectDevice(true);
    c->deleteLater();
}

void StatisticsReader::connectNow()
{
    release();
    setState(Connecting);
    auto *c = new KxDeviceConnector(m_deviceId, this);
    // What discovery knows now, with what the page was given on top.
    KxDeviceInfoMap info = c->deviceInfo();
    for (auto it = m_info.cbegin(); it != m_info.cend(); ++it)
        info.insert(it.key(), it.value());
    c->setDeviceInfo(info);
    m_connector = c;
    if (!c->connectDevice(true, false)) {
        qWarning() << "StatisticsReader::connectNow()...cannot connect" << m_deviceId;
        scheduleRetry();
        return;
    }
    QPointer<StatisticsReader> self(this);
    c->loginAsync(QString::fromLatin1(kUser), QString::fromLatin1(kPassword), this, [self, c](int code) {
        if (!self || self->m_connector != c || self->m_stopped)
            return;
        if (code != KxDeviceConnector::Login_Ok) {
            qWarning() << "StatisticsReader::login...failed" << self->m_deviceId << code;
            self->scheduleRetry();
            return;
        }
        KxDeviceCommand *cmd = c->command();
        const QSize sensor = sensorOf(cmd);
        if (sensor.isValid())
            self->m_info.insert(QStringLiteral("Sensor"), QStringLiteral("%1x%2").arg(sensor.width()).arg(sensor.height()));
        connect(cmd, &KxDeviceCommand::signal_ResultGetStatistics, self.data(),
                [r = self.data()](const QByteArray &reply) { r->takeReply(reply); });
        connect(c, &KxDeviceConnector::deviceConnectChanged, self.data(), [r = self.data()](bool on) {
            if (!on && !r->m_stopped) {
                qWarning() << "StatisticsReader...link lost" << r->m_deviceId;
                r->scheduleRetry();
            }
        });
        cmd->setStatisticsPolling(true);
        self->setState(Ready);
    });
}

void StatisticsReader::scheduleRetry()
{
    release();
    setState(Failed);
    if (m_stopped)
        return;
    QPointer<StatisticsReader> self(this);
    QTimer::singleShot(kRetryMs, this, [self] {
        if (self && !self->m_stopped && self->m_state == Failed)
            self->connectNow();
    });
}

void StatisticsReader::takeReply(const QByteArray &reply, const QDateTime &now)
{
    StatisticsCounts c;
    if (!StatisticsCounters::parseReply(reply, &c)) {
        qWarning() << "StatisticsReader::takeReply()...not a counter reply" << m_deviceId << reply.left(64).toHex();
        return;
    }
    ++m_replies;
    m_hasCounts = true;
    m_counts = c;
    m_figures = StatisticsCounters::figures(c);
    m_history.offer(m_figures.record(), now, m_intervalMinutes);
    emit countsChanged();
}

bool StatisticsReader::requestImage()
{
    KxDeviceCommand *cmd = m_connector && m_state == Ready ? m_connector->command() : nullptr;
    if (!cmd || m_imageBusy)
        return false;
    m_imageBusy = true;
    // The image of the reader's last read, as it is: no new read, no encoding.
    KxImageRequest request;
    request.type = QStringLiteral("1");
    request.format = QStringLiteral("1");
    request.capGli = cmd->hasCmd(QStringLiteral("IMGGLI"));
    QPointer<StatisticsReader> self(this);
    cmd->asyncProcess(
        [request](KxDeviceCommandPtr c) {
            QMap<QString, QByteArray> out;
            if (!c)
                return out;
            const KxImageReply reply = c->getImage(request);
            if (!reply.ok)
                return out;
            const QJsonObject o = QJsonDocument::fromJson(reply.info).object();
            const QImage image = KxImageFromBytes(reply.image, o.value(QStringLiteral("width")).toInt(),
                                                  o.value(QStringLiteral("height")).toInt());
            if (image.isNull())
                return out;
            // Decoded here, on the reader's worker, so the page only draws.
            out.insert(QStringLiteral("image"), reply.image);
            out.insert(QStringLiteral("width"), QByteArray::number(image.width()));
            out.insert(QStringLiteral("height"), QByteArray::number(image.height()));
            out.insert(QStringLiteral("marks"), KxFoundCodesToJson(KxDecodeCodes(image)));
            return out;
        },
        [self](KxDeviceCommandPtr, QMap<QString, QByteArray> out) {
            if (!self)
                return;
            self->m_imageBusy = false;
            if (!out.contains(QStringLiteral("image")))
                return;
            const QImage image = KxImageFromBytes(out.value(QStringLiteral("image")),
                                                  out.value(QStringLiteral("width")).toInt(),
                                                  out.value(QStringLiteral("height")).toInt());
            if (image.isNull())
                return;
            self->m_image = image;
            self->m_marks = KxFoundCodesFromJson(out.value(QStringLiteral("marks")));
            self->m_imageTime = QDateTime::currentDateTime();
            const QStringList sensor = self->m_info.value(QStringLiteral("Sensor")).split(QLatin1Char('x'));
            if (sensor.size() == 2 && image.width() > 0 && image.height() > 0) {
                self->m_penWidthRate = sensor[0].toDouble() / image.width();
                self->m_penHeighRate = sensor[1].toDouble() / image.height();
            }
            emit self->imageChanged();
        });
    return true;
}

bool StatisticsReader::resetCounters(const std::function<void(bool)> &done)
{
    if (!m_connector || m_state != Ready)
        return false;
    QPointer<StatisticsReader> self(this);
    return m_connector->sendAsync(this, QStringLiteral("#DBGCNC"), DataProtocol_Settings, QByteArray(),
                                  [self, done](int error, const QByteArray &reply) {
                                      const bool ok = error == 0 && KxCheckDataStreamCmd(reply, QStringLiteral("DBGCNC"));
                                      if (!ok && self)
                                          qWarning() << "StatisticsReader::resetCounters()...refused" << self->m_deviceId << error;
                                      if (done)
                                          done(ok);
                                  });
}

KxDeviceConnector *StatisticsReader::connector() const
{
    return m_connector.data();
}
