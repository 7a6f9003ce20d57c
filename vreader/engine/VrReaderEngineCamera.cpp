// The reader engine's camera side: reads that take and decode images, the result frames they
// send, and image requests.
#include "VrReaderEngine.h"
#include "VvCamera.h"

#include "KxDataStreamTypes.h"
#include "VrDataFormatting.h"
#include "VrReaderCamera.h"
#include "VrScripting.h"
#include "VrSymbologySettings.h"

VrReaderEngine::~VrReaderEngine() = default;

void VrReaderEngine::setCamera(std::unique_ptr<VrReaderCamera> camera)
{
    m_camera = std::move(camera);
}

QByteArray VrReaderEngine::cameraSensor() const
{
    return m_camera ? m_camera->sensorValue() : QByteArray();
}

void VrReaderEngine::read(Outcome *outcome)
{
    if (!m_camera) {
        simulateRead();
        return;
    }
    const bool forced = m_noReadEvery > 0 && (m_reads + 1) % quint64(m_noReadEvery) == 0;
    VrReaderCamera::Read r = readWithSets(forced);
    // A matching level for every read: codes below it do not count.
    VrReaderTools::Match match;
    if (r.good && VrReaderTools::parseMatch(runningValue(QStringLiteral("CCFBML")), &match)
        && match.everyRead && !VrReaderTools::meetsLevel(r.results, match.level)) {
        r.good = false;
        r.results.clear();
        r.log << QStringLiteral("below matching level %1").arg(match.level);
    }
    ++m_reads;
    m_readMs += quint64(qRound(r.ms));
    if (r.good)
        ++m_goodReads;
    outcome->log << r.log;
    outcome->log << (r.good ? QStringLiteral("read %1 code(s) in %2 ms").arg(r.results.size()).arg(r.ms, 0, 'f', 1)
                            : QStringLiteral("no read (%1 ms)").arg(r.ms, 0, 'f', 1));
    queueFtpImage(r);
    // A sheet of setting codes programs the reader; its codes are not results.
    if (scanSettingCodes(r, outcome))
        return;
    outcome->results << resultFrames(r.results, r.good, &outcome->log);
}

VrReaderEngine::Outcome VrReaderEngine::continuousRead(bool known)
{
    Outcome out;
    if (!m_camera)
        return out;
    if (!known) {
        read(&out);
        return out;
    }
    const VrReaderCamera::Read r = m_camera->knownCodes(
        [this](const QString &code) { return runningValue(code); });
    ++m_reads;
    if (r.good)
        ++m_goodReads;
    out.results = resultFrames(r.results, r.good, &out.log);
    return out;
}

QList<QByteArray> VrReaderEngine::resultFrames(const QList<VcResult> &found, bool good, QStringList *log)
{
    QStringList ignored;
    QList<VcResult> results = found;
    if (good) {
        const auto values = [this](const QString &code) { return runningValue(code); };
        results = VrSymbologySettings::apply(found, values, log ? log : &ignored);
        results = VrDataFormatting::apply(results, values, log ? log : &ignored);
        results = VrScripting::apply(results, values, log ? log : &ignored);
        if (results.isEmpty())
            return {};  // formatting kept none of the codes
    } else {
        // A no-read says so only when the reader is told to.
        if (runningValue(QStringLiteral("NGRENA")) != "1")
            return {};
        VcResult none;
        none.noRead = true;
        none.codeId = QStringLiteral("000");
        none.data = QByteArray::fromHex(runningValue(QStringLiteral("NGRSET")));
        results = {none};
    }
    QList<QByteArray> frames;
    if (m_identity.kind == VrIdentity::Serial) {
        for (const VcResult &r : results)
            frames << VcResultFrames::single(r.data);
        return frames;
    }
    if (runningValue(QStringLiteral("OUTMSG")) == "1") {
        frames << VcResultFrames::text(results, ++m_resultSeq, m_reads);
        return frames;
    }
    const VcSender sender{m_identity.ip, m_identity.mac, m_identity.serial};
    for (int i = 0; i < results.size(); ++i)
        frames << VcResultFrames::json(results[i], sender, ++m_resultSeq, m_reads, i + 1 == results.size());
    return frames;
}

// Settings that make the camera do something: self-learning. Focus and tests are in
// VrReaderEngineTools.cpp.
void VrReaderEngine::cameraSetting(char prefix, const QString &code, const QByteArray &value, Outcome *outcome)
{
    if (code == QLatin1String("ATLSTP"))
        selfLearn(prefix, value, outcome);
}

KxTagInfo VrReaderEngine::answerImage(const QString &code, const QByteArray &value, Outcome *outcome)
{
    const VrReaderCamera::Image image = m_camera->image(
        code, value, imageValues());
    if (!image.ok) {
        outcome->log << QStringLiteral("image request %1%2 refused: %3")
                            .arg(code, QString::fromUtf8(value), image.error);
        return tag(code, DataResult_Refused, QByteArray());
    }
    outcome->extendData = image.data;
    outcome->extendInfo = image.info;
    outcome->log << QStringLiteral("image %1%2: %3 bytes").arg(code, QString::fromUtf8(value)).arg(image.data.size());
    return tag(code, DataResult_Ack, value);
}
