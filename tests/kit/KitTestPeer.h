#pragma once
// A small reader peer for kit tests: a TCP server on 127.0.0.1 that speaks the link protocol
// (role answer, keep-alive, settings replies) on a thread of its own, with switchable faults.
// Settings replies echo each request item: code, status 6, value "v:" + the item's value.
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <memory>

#include "KxBinaryFrame.h"
#include "KxFrameAssembler.h"
#include "KxLinkFrames.h"
#include "KxRequestParser.h"

class KitTestPeer
{
public:
    enum Mode { Echo, Silent, Corrupt, DropOnRequest };

    std::atomic<int> mode{Echo};
    std::atomic<int> delayMs{0};      // delay of every reply
    std::atomic<int> roleStatus{6};
    std::atomic<int> connections{0};
    std::atomic<int> requests{0};
    std::atomic<int> overlaps{0};     // requests that arrived while another was unanswered
    std::atomic<int> resultsBeforeReply{0};  // result frames written just ahead of each reply
    std::atomic<int> resultsSent{0};

    // Result frames "R<n>" (numbered across the peer's life) on every open connection, now.
    void pushResults(int count)
    {
        QMetaObject::invokeMethod(m_server, [this, count] {
            for (QTcpSocket *s : m_server->findChildren<QTcpSocket *>())
                for (int i = 0; i < count; ++i)
                    s->write(nextResult());
        }, Qt::BlockingQueuedConnection);
    }

    KitTestPeer()
    {
        m_thread.start();
        m_server = new QTcpServer;
        m_server->moveToThread(&m_thread);
        QMetaObject::invokeMethod(m_server, [this] {
            m_server->listen(QHostAddress(QHostAddress::LocalHost), 0);
            QObject::connect(m_server, &QTcpServer::newConnection, m_server, [this] { accept(); });
        }, Qt::BlockingQueuedConnection);
    }
    ~KitTestPeer()
    {
        QMetaObject::invokeMethod(m_server, [this] { delete m_server; }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
    quint16 port() const { return m_server->serverPort(); }

    static QByteArray echoReply(const QByteArray &request)
    {
        KxSettingsRequest parsed;
        KxSettingsReply reply;
        if (!KxParseSettingsRequest(request, &parsed))
            return KxMakeRejectedReply(QStringLiteral("bad request"));
        reply.prefix = parsed.prefix;
        if (parsed.allQuery) {
            reply.tags.append({QStringLiteral("ALLQRY"), 6, {{QString(), 6, QByteArray("all")}}});
        }
        for (const KxRequestItem &item : parsed.items) {
            const QByteArray value = "v:" + (item.query ? QByteArray(1, item.query) : item.value);
            reply.tags.append({item.code, 6, {{QString(), 6, value}}});
        }
        return KxMakeSettingsReply(reply);
    }

private:
    QByteArray nextResult() { return KxKestor::make(KxKestor::Json, "R" + QByteArray::number(resultsSent++)); }

    void accept()
    {
        while (QTcpSocket *s = m_server->nextPendingConnection()) {
            ++connections;
            auto assembler = std::make_shared<KxFrameAssembler>(KxFrameAssembler::Side::Reader);
            QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            QObject::connect(s, &QTcpSocket::readyRead, s, [this, s, assembler] {
                assembler->append(s->readAll());
                KxFrameAssembler::Frame f;
                int inBatch = 0;
                while (assembler->next(&f)) {
                    // A client that waits for each reply never sends two frames at once.
                    if (inBatch++ > 0)
                        ++overlaps;
                    if (!answer(s, f))
                        return;
                }
            });
        }
    }
    // False when the connection was dropped.
    bool answer(QTcpSocket *s, const KxFrameAssembler::Frame &f)
    {
        quint8 kind = 0;
        QByteArray payload;
        if (f.type == KxFrameAssembler::FrameType::Binary && KxFrame::decode(f.bytes, &kind, &payload)) {
            if (kind == KxFrame::RoleRequest) {
                QJsonObject info{{"Serial Number", "PEER01"}, {"Product Name", "PeerModel"}};
                s->write(KxLink::makeRoleReply(roleStatus, QJsonDocument(info).toJson(QJsonDocument::Compact)));
            } else if (kind == KxFrame::KeepAlive) {
                if (m_unanswered > 0)
                    ++overlaps;
                s->write(KxLink::makeKeepAliveReply());
            }
            return true;
        }
        if (f.type != KxFrameAssembler::FrameType::TextRequest)
            return true;
        ++requests;
        if (m_unanswered > 0)
            ++overlaps;
        QByteArray results;
        for (int i = 0; i < resultsBeforeReply; ++i)
            results += nextResult();
        QByteArray reply = results + echoReply(f.bytes);
        switch (mode.load()) {
        case Silent: return true;
        case DropOnRequest: s->abort(); return false;
        case Corrupt: reply[reply.size() / 2] = char(reply[reply.size() / 2] ^ 0x5A); break;
        default: break;
        }
        if (delayMs > 0) {
            QPointer<QTcpSocket> guard(s);
            ++m_unanswered;
            QTimer::singleShot(delayMs.load(), s, [this, guard, reply] {
                --m_unanswered;
                if (guard)
                    guard->write(reply);
            });
        } else {
            s->write(reply);
        }
        return true;
    }

    QThread m_thread;
    QTcpServer *m_server = nullptr;
    int m_unanswered = 0;  // peer thread only
};
