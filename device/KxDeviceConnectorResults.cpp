// The connector's result handling: the consumer thread for raw streams, RFID readers and test
// modes, and the direct path for finished messages delivered by the kit.
#include "KxBarcodeConsumerThread.h"
#include "KxDeviceCommand.h"
#include "KxDeviceConfigs.h"
#include "KxDeviceConnector.h"

#include <QCoreApplication>
#include <QDebug>
#include <QElapsedTimer>

namespace {
constexpr int kStopWaitMs = 2000;

QHash<QString, QString> symbologyNames()
{
    QHash<QString, QString> names;
    KxDeviceConfigs *configs = KxDeviceConfigs::instance();
    if (!configs || !configs->load())
        return names;
    for (const KxSymbology &s : configs->symbologies())
        names.insert(s.value, s.name);
    return names;
}
}  // namespace

void KxDeviceConnector::startResultHandling()
{
    if (m_resultHandling)
        return;
    kxRegisterResultTypes();
    m_resultHandling = true;
    m_consumer = new KxBarcodeConsumerThread(this);
    connect(m_consumer, &KxBarcodeConsumerThread::tagsReceived, this,
            &KxDeviceConnector::tagsReceived, Qt::QueuedConnection);
    connect(m_consumer, &KxBarcodeConsumerThread::batBarcodeReceived, this,
            &KxDeviceConnector::batBarcodeReceived, Qt::QueuedConnection);
    connect(m_consumer, &KxBarcodeConsumerThread::batTestResultReceived, this,
            &KxDeviceConnector::batTestResultReceived, Qt::QueuedConnection);
    connect(m_consumer, &KxBarcodeConsumerThread::visionResultsReceived, this,
            &KxDeviceConnector::visionResultsReceived, Qt::QueuedConnection);
    m_rfid = m_info.value(QStringLiteral("rfid")) == QLatin1String("1");
    if (m_command)
        m_command->setRfid(m_rfid);
    m_consumer->setRfid(m_rfid);
    m_consumer->setRawStream(m_rawStream);
    m_consumer->setResultMode(m_resultMode);
    m_consumer->parser()->setSymbologyNames(symbologyNames());
    if (!m_info.contains(QStringLiteral("Device Type")))
        m_consumer->setSender(m_info.value(QStringLiteral("Serial Number")),
                              m_info.value(QStringLiteral("Ip Address")),
                              m_info.value(QStringLiteral("MAC Address")));
    refreshNoReadMessages();
    // The reader's settings arrive with the login and change with edits: the no-read messages
    // and the grading support follow them.
    connect(this, &KxDeviceConnector::deviceStateChanged, m_consumer, [this](int state) {
        if (state == DeviceState_LoggedIn)
            refreshNoReadMessages();
    });
    if (m_command) {
        connect(m_command.data(), &KxDeviceCommand::cmdChanged, m_consumer,
                [this] { refreshNoReadMessages(); });
        connect(m_command.data(), &KxDeviceCommand::cmdValueChanged, m_consumer,
                [this] { refreshNoReadMessages(); });
    }
}

QList<QByteArray> KxDeviceConnector::currentNoReadMessages() const
{
    if (!m_command)
        return {};
    return BarcodeParse::noReadMessages(m_command->value(QStringLiteral("NGRENA")),
                                        m_command->value(QStringLiteral("NGRSET")),
                                        m_command->value(QStringLiteral("TSUENA")),
                                        m_command->value(QStringLiteral("TSUSET")));
}

void KxDeviceConnector::refreshNoReadMessages()
{
    m_noReads = currentNoReadMessages();
    if (!m_consumer)
        return;
    m_consumer->setNoReadMessages(m_noReads);
    if (m_command)
        m_consumer->setQualitySupport(m_command->hasCmd(QStringLiteral("INCCQP"))
                                      || m_command->hasCmd(QStringLiteral("INCCQS")));
}

void KxDeviceConnector::setResultMode(int mode)
{
    m_resultMode = mode;
    if (m_consumer)
        m_consumer->setResultMode(mode);
}

void KxDeviceConnector::stopResultHandling()
{
    m_resultHandling = false;
    if (KxBarcodeConsumerThread *consumer = m_consumer) {
        m_consumer = nullptr;
        consumer->disconnect(this);
        disconnect(consumer);
        if (m_command)
            m_command->disconnect(consumer);
        consumer->stop();
        QElapsedTimer waited;
        waited.start();
        while (!consumer->wait(10) && waited.elapsed() < kStopWaitMs)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
        if (consumer->isRunning()) {
            // Never delete a running thread: it goes once it has ended.
            qWarning() << "KxDeviceConnector::stopResultHandling()...consumer still running:"
                       << m_deviceId;
            consumer->setParent(nullptr);
            connect(consumer, &QThread::finished, consumer, &QObject::deleteLater);
        } else {
            consumer->deleteLater();
        }
    }
    if (m_command)
        m_command->stopWorker();
}

void KxDeviceConnector::OnBarcodeReceived(const QString &device_id, const QByteArray &data)
{
    if (device_id != m_deviceId || !m_resultHandling)
        return;
    if (!m_rfid && !m_rawStream && m_resultMode == 0) {
        // A finished message: one record, delivered at once.
        BarcodeParse parse;
        parse.setNoReadMessages(m_noReads);
        emit batBarcodeReceived({parse.plainBarcode(data)}, false);
        return;
    }
    if (!m_consumer)
        return;
    m_consumer->append(data);
    if (!m_consumer->isRunning())
        m_consumer->start();
}
