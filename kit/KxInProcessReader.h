#pragma once
// A reader that runs inside this process instead of at the end of a wire: offline devices are
// answered by the same reader engine the virtual reader program uses. The kit only knows this
// interface; the program registers a factory with KxDeviceKit::setOffLineReaderFactory().
#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

class IKxInProcessReader
{
public:
    virtual ~IKxInProcessReader() = default;

    // Answers one complete request frame (0x7E 0x01 ... ";" 0x03, or a vision call) with the
    // complete reply bytes, exactly as the reader would write them to a socket. An empty result
    // means the reader stays silent, so the waiting send ends at its time-out.
    // Called on the kit's I/O thread of the link, never on two threads at once.
    virtual QByteArray handleRequest(const QByteArray &frame) = 0;
};

using KxInProcessReaderPtr = std::unique_ptr<IKxInProcessReader>;

// Builds the in-process reader of an offline device from the arguments of
// connectToOffLineDevice(id, xml, cfgPath). Called on the link's I/O thread; returns null and
// fills *error (when given) when the description cannot be loaded.
using KxOffLineReaderFactory = std::function<KxInProcessReaderPtr(
    const QString &deviceId, const QString &xml, const QString &cfgPath, QString *error)>;
