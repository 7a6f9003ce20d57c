#pragma once
// Decodes one image locally on a thread of its own: moved to a QThread, doDecode runs there
// and the result comes back through a queued signal.
#include "KxDeviceConnector.h"

#include <QObject>
#include <QPointer>

class QThread;

class DecodeWorker : public QObject
{
    Q_OBJECT
public:
    DecodeWorker(QPointer<KxDeviceConnector> connector, const QByteArray &image, int width,
                 int height);

    // Starts a thread for the worker; the worker and its thread delete themselves after the
    // result has been emitted. Connect to decodeResult before calling.
    QThread *start();

public slots:
    void doDecode();

signals:
    // ok: at least one code; text: the codes joined by ";"; data: codes and positions (JSON);
    // timeMs: decode time.
    void decodeResult(bool ok, const QString &text, const QByteArray &data, int timeMs);
    void finished();

private:
    QPointer<KxDeviceConnector> m_connector;
    QByteArray m_image;
    int m_width;
    int m_height;
};
