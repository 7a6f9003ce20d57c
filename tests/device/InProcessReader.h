#pragma once
// The virtual reader's engine answering inside the test process, through the kit's offline
// link, with every request recorded and a few faults the network reader does not offer.
#include "KxBinaryFrame.h"
#include "KxDataStreamMaker.h"
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
    QStringList dropAnswers;     // items of these codes are left out of every reply
    QMap<QString, QByteArray> answerAs;  // items of these codes answer with this main value
    QStringList refuseSets;      // text items setting these codes are refused, not applied
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
        if (m_state->bufferSize > 0)
            m_engine->setBufferSize(m_state->bufferSize);
        QByteArray reply = m_engine->handleFrame(withoutRefused(frame)).reply;
        KxSettingsRequest request;
        if (!KxParseSettingsRequest(frame, &request) && m_state->dropAnswers.isEmpty()
            && m_state->answerAs.isEmpty())
            return reply;
        quint8 kind = 0;
        QByteArray payload;
        KxSettingsReply decoded;
        if (!KxFrame::decode(reply, &kind, &payload) || !KxDecodeSettingsReply(payload, &decoded))
            return reply;
        if (request.allQuery == '*' && m_state->emptyValues)
            decoded.tags.clear();
        for (int i = 0; i < request.items.size(); ++i) {
            const KxRequestItem &item = request.items[i];
            if (item.hasValue && m_state->refuseSets.contains(item.code)) {
                KxTagInfo refused;
                refused.code = item.code;
                refused.result = DataResult_Refused;
                refused.subTags.append({QString(), DataResult_Refused, QByteArray()});
                decoded.tags.insert(qMin(i, decoded.tags.size()), refused);
            }
        }
        for (int i = decoded.tags.size() - 1; i >= 0; --i) {
            if (m_state->dropAnswers.contains(decoded.tags[i].code)) {
                decoded.tags.removeAt(i);
            } else if (m_state->answerAs.contains(decoded.tags[i].code)) {
                for (KxSubTag &sub : decoded.tags[i].subTags) {
                    if (sub.tag.isEmpty())
                        sub.value = m_state->answerAs.value(decoded.tags[i].code);
                }
            }
        }
        return KxFrame::encode(KxFrame::SettingsReply, KxEncodeSettingsReply(decoded));
    }

private:
    // The text request without the items whose setting is refused; the reader never sees them.
    QByteArray withoutRefused(const QByteArray &frame) const
    {
        KxSettingsRequest request;
        if (m_state->refuseSets.isEmpty() || !KxParseSettingsRequest(frame, &request))
            return frame;
        KxDataStreamMaker maker(DataProtocol_Settings);
        for (const KxRequestItem &item : request.items) {
            if (!(item.hasValue && m_state->refuseSets.contains(item.code)))
                maker.addCmd(item.code, item.query ? QByteArray(1, item.query) : item.value);
        }
        return maker.isEmpty() ? KxMakeDataStreamCmd("#BUFQRY*", DataProtocol_Settings, true)
                               : maker.toByteArray(request.prefix == '@');
    }

    QSharedPointer<InProcessReaderState> m_state;
    std::unique_ptr<VrReaderEngine> m_engine;
};

// Installs the factory once; each device id gets a fresh engine of its model (FM800 unless
// told otherwise) sharing state.
inline QSharedPointer<InProcessReaderState> installInProcessReader(
    const QString &deviceId, const QString &model = QStringLiteral("KXS-FM800"))
{
    static QMap<QString, QSharedPointer<InProcessReaderState>> states;
    static QMap<QString, QString> models;
    static QMutex mutex;
    auto state = QSharedPointer<InProcessReaderState>::create();
    {
        QMutexLocker lock(&mutex);
        states.insert(deviceId, state);
        models.insert(deviceId, model);
    }
    KxDeviceKit::Instance()->setOffLineReaderFactory(
        [](const QString &id, const QString &, const QString &, QString *error) -> KxInProcessReaderPtr {
            QSharedPointer<InProcessReaderState> s;
            QString modelName;
            {
                QMutexLocker lock(&mutex);
                s = states.value(id);
                modelName = models.value(id);
            }
            QString canonical;
            auto table = VrModel::loadTable(QStringLiteral(BREVAN_BIN_DIR "/models"), modelName,
                                            &canonical, error);
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
