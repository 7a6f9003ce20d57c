#pragma once
// A minimal client for tests: one TCP socket, the protocol library's reassembler, nothing of
// the kit.
#include "KxFrameAssembler.h"

#include <QElapsedTimer>
#include <QList>
#include <utility>
#include <QTcpSocket>

class RawReaderClient
{
public:
    bool connectTo(const QString &address, quint16 port)
    {
        m_socket.connectToHost(address, port);
        return m_socket.waitForConnected(5000);
    }
    // Sends a frame and waits for the next binary frame; empty on time-out or a closed link.
    QByteArray request(const QByteArray &frame, int timeoutMs = 5000)
    {
        m_socket.write(frame);
        m_socket.waitForBytesWritten(timeoutMs);
        return nextFrame(timeoutMs);
    }
    QByteArray nextFrame(int timeoutMs = 5000)
    {
        QElapsedTimer t;
        t.start();
        KxFrameAssembler::Frame f;
        for (;;) {
            while (m_assembler.next(&f)) {
                if (f.type != KxFrameAssembler::FrameType::Kestor)
                    return f.bytes;
                m_results.append(f.bytes);  // result frames between replies are kept aside
            }
            if (m_socket.state() != QAbstractSocket::ConnectedState && !m_socket.bytesAvailable())
                return QByteArray();
            if (t.elapsed() > timeoutMs)
                return QByteArray();
            m_socket.waitForReadyRead(50);
            m_assembler.append(m_socket.readAll());
        }
    }
    bool waitClosed(int timeoutMs = 5000)
    {
        QElapsedTimer t;
        t.start();
        while (m_socket.state() == QAbstractSocket::ConnectedState && t.elapsed() < timeoutMs) {
            m_socket.waitForReadyRead(50);
            m_socket.readAll();
        }
        return m_socket.state() != QAbstractSocket::ConnectedState;
    }
    QTcpSocket &socket() { return m_socket; }
    QList<QByteArray> takeResults() { return std::exchange(m_results, {}); }

private:
    QTcpSocket m_socket;
    KxFrameAssembler m_assembler{KxFrameAssembler::Side::Client};
    QList<QByteArray> m_results;
};
