#pragma once
// The virtual reader's engine answering inside the test process, through the kit's offline
// link, with every request recorded and a few faults the network reader does not offer.
#include "KxBinaryFrame.h"
#include "KxDataStreamParser.h"
#include "KxDeviceKit.h"
#include "KxRequestParser.h"
#include "VrModel.h"
#include "VrReaderEngine.h"

#include <QMutex>
#include <QSharedPointer>

struct InProcessReaderState
{
    QMutex mutex;
    QByteArrayList frames;       // every request, in order
    bool emptyValues = false;    // "@*" answers with no item
    int bufferSize = 0;          // > 0: "BUFQRY" reports this
    QByteArrayList framesStartingWith(const QByteArray &text)
    {
        QMutexLocker lock(&mutex);
        QByteArrayList out;
        for (const QByteArray &f : qAsConst(frames)) {
            if (f.mid(6).startsWith(text))
                out << f;
        }
        return out;
    }
    void clear()
    {
        QMutexLocker lock(&mutex);
        frames.clear();
    }
};

class RecordingReader : public IKxInProcessReader
{
public:
    RecordingReader(QSharedPointer<InProcessReaderState> state, std::unique_ptr<VrReaderEngine> engine)
        : m_state(state), m_engine(std::move(engine))
    {
    }
    QByteArray handleRequest(const QByteArray &frame) override
    {
        QMutexLocker lock(&m_state->mutex);
        m_state->frames << frame;
        QByteArray reply = m_engine->handleFrame(frame).reply;
        KxSettingsRequest request;
        if (!KxParseSettingsRequest(frame, &request))
            return reply;
        quint8 kind = 0;
        QByteArray payload;
        KxSettingsReply decoded;
        if (!KxFrame::decode(reply, &kind, &payload) || !KxDecodeSettingsReply(payload, &decoded))
            return reply;
        if (request.allQuery == '*' && m_state->emptyValues)
            decoded.tags.clear();
        if (m_state->bufferSize > 0) {
            for (KxTagInfo &t : decoded.tags) {
                if (t.code == QLatin1String("BUFQRY") && request.allQuery != '^')
                    t.subTags = {{QString(), DataResult_Ack, QByteArray::number(m_state->bufferSize)}};
            }
        }
        return KxFrame::encode(KxFrame::SettingsReply, KxEncodeSettingsReply(decoded));
    }

private:
    QSharedPointer<InProcessReaderState> m_state;
    std::unique_ptr<VrReaderEngine> m_engine;
};

// Installs the factory once; each device id gets a fresh FM800 engine sharing state.
inline QSharedPointer<InProcessReaderState> installInProcessReader(const QString &deviceId)
{
    static QMap<QString, QSharedPointer<InProcessReaderState>> states;
    static QMutex mutex;
    auto state = QSharedPointer<InProcessReaderState>::create();
    {
        QMutexLocker lock(&mutex);
        states.insert(deviceId, state);
    }
    KxDeviceKit::Instance()->setOffLineReaderFactory(
        [](const QString &id, const QString &, const QString &, QString *error) -> KxInProcessReaderPtr {
            QSharedPointer<InProcessReaderState> s;
            {
                QMutexLocker lock(&mutex);
                s = states.value(id);
            }
            QString canonical;
            auto table = VrModel::loadTable(QStringLiteral(BREVAN_BIN_DIR "/models"),
                                            QStringLiteral("KXS-FM800"), &canonical, error);
            if (!s || !table)
                return nullptr;
            VrIdentity identity;
            identity.kind = VrIdentity::Serial;
            identity.model = canonical;
            identity.serial = id;
            identity.mac = VrModel::macFor(id);
            auto engine = std::make_unique<VrReaderEngine>(table, identity, QString());
            return std::make_unique<RecordingReader>(s, std::move(engine));
        });
    return state;
}
