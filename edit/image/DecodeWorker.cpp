#include "DecodeWorker.h"

#include "KxDecodeImage.h"

#include <QThread>

DecodeWorker::DecodeWorker(QPointer<KxDeviceConnector> connector, const QByteArray &image,
                           int width, int height)
    : m_connector(connector), m_image(image), m_width(width), m_height(height)
{
}

QThread *DecodeWorker::start()
{
    auto *thread = new QThread;
    thread->setObjectName(QStringLiteral("DecodeWorker"));
    moveToThread(thread);
    connect(thread, &QThread::started, this, &DecodeWorker::doDecode);
    connect(this, &DecodeWorker::finished, thread, &QThread::quit);
    connect(thread, &QThread::finished, this, &QObject::deleteLater);
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start();
    return thread;
}

void DecodeWorker::doDecode()
{
    QString text;
    QByteArray data;
    int timeMs = 0;
    const bool ok = decodeImage(text, m_image, m_width, m_height, data, &timeMs);
    emit decodeResult(ok, text, data, timeMs);
    emit finished();
}
