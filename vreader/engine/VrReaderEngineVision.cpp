// Vision calls (protocol 7): a camera answers them from its vision side; other readers do not
// know them.
#include "KxLinkFrames.h"
#include "KxRequestParser.h"
#include "VrReaderEngine.h"
#include "VvCamera.h"

#include <QJsonDocument>
#include <QJsonObject>

void VrReaderEngine::setVision(std::unique_ptr<VvCamera> vision)
{
    m_vision = std::move(vision);
    if (m_vision)
        m_vision->setGrab([this] { return m_camera ? m_camera->grab(imageValues()) : QImage(); });
}

VrReaderEngine::Outcome VrReaderEngine::handleVision(const QString &code, const QByteArray &json)
{
    Outcome out;
    const QJsonDocument doc = QJsonDocument::fromJson(json.isEmpty() ? QByteArray("{}") : json);
    if (m_identity.kind != VrIdentity::Camera || !m_vision) {
        out.reply = KxMakeVisionReply(code, DataResult_Unknown, "{}");
        return out;
    }
    if (!doc.isObject()) {
        out.reply = KxMakeVisionReply(code, DataResult_Refused,
                                      R"({"error":"the payload is not a JSON object"})");
        out.log << QStringLiteral("vision %1: payload is not a JSON object").arg(code);
        return out;
    }
    const VvCamera::Answer a = m_vision->call(code, doc.object());
    out.reply = KxMakeVisionReply(code, a.status, QJsonDocument(a.json).toJson(QJsonDocument::Compact));
    if (!a.log.isEmpty())
        out.log << QStringLiteral("vision %1").arg(a.log);
    for (const QByteArray &payload : a.results)
        out.results << KxKestor::make(KxKestor::VisionResult, payload);
    for (const QByteArray &text : a.sent)
        out.results << KxKestor::make(KxKestor::SingleBarcode, text);
    return out;
}

bool VrReaderEngine::visionRunning() const
{
    return m_vision && m_vision->mode() != VvCamera::Idle;
}

int VrReaderEngine::visionIntervalMs() const
{
    return m_vision ? m_vision->intervalMs() : VvCamera::kDefaultIntervalMs;
}

VrReaderEngine::Outcome VrReaderEngine::visionTick()
{
    Outcome out;
    if (!visionRunning())
        return out;
    const VvCamera::Answer a = m_vision->tick();
    if (!a.log.isEmpty())
        out.log << QStringLiteral("vision %1").arg(a.log);
    for (const QByteArray &payload : a.results)
        out.results << KxKestor::make(KxKestor::VisionResult, payload);
    for (const QByteArray &text : a.sent)
        out.results << KxKestor::make(KxKestor::SingleBarcode, text);
    return out;
}
