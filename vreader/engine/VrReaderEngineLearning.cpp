// The reader engine's self-learning: a bounded search over exposure and gain with real reads of
// the scene, done in the turn of the request that starts it.
#include "VrConfigSets.h"
#include "VrReaderCamera.h"
#include "VrReaderEngine.h"
#include "VrSelfLearning.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <algorithm>

QByteArray VrReaderEngine::learningValue(const QString &code) const
{
    if (code == QLatin1String("ATLQLS"))
        return QByteArray::number(m_learnState);
    if (code == QLatin1String("ATLQPR"))
        return QByteArray::number(m_learnProgress);
    if (code == QLatin1String("ATLQLP"))
        return m_learnParams;
    return m_learnPass;  // "ATLPAS"
}

void VrReaderEngine::selfLearn(char prefix, const QByteArray &value, Outcome *outcome)
{
    using namespace VrSelfLearning;
    if (value != "1") {
        if (m_learnState == Running)
            m_learnState = Stopped;
        return;
    }
    m_learnProgress = 0;
    m_learnParams.clear();
    m_learnPass.clear();
    const auto running = [this](const QString &code) { return runningValue(code); };
    const int wanted = qMax(1, runningValue(QStringLiteral("ATLSOP")).toInt());
    // Several decode areas each want their own settings: one learned setting cannot serve them.
    // Flow mode takes a burst of images of a moving scene per trigger: no try sees the same
    // labels as the one before.
    const bool areas = m_camera && m_camera->decoding(running).areas.size() > 1;
    const bool burst = runningValue(QStringLiteral("SCNMOD")) == "3";
    if (!m_camera || areas || burst) {
        m_learnState = burst ? RefusedBurst : areas ? RefusedAreas : Failed;
        m_learnProgress = 100;
        outcome->log << QStringLiteral("self-learning refused: %1")
                            .arg(burst ? "burst (flow) mode" : areas ? "several decode areas" : "no camera");
        return;
    }
    // With sets the learned values go to the first enabled one, which reads first.
    const QList<ConfigLibRecord> sets = VrConfigSets::enabled(runningValue(QStringLiteral("MPCADD")));
    const VrReaderCamera::Values base = sets.isEmpty() ? VrReaderCamera::Values(running)
                                                       : VrConfigSets::values(sets.first(), running);
    m_learnState = Running;
    const QList<Candidate> tries = candidates();
    QList<int> counts;
    for (int i = 0; i < tries.size(); ++i) {
        const Candidate c = tries[i];
        const auto values = [&](const QString &code) -> QByteArray {
            if (code == QLatin1String("EXPMOD"))
                return "1";
            if (code == QLatin1String("EXPFET"))
                return QByteArray::number(c.exposureUs);
            if (code == QLatin1String("EXPFGN"))
                return QByteArray::number(c.gainDb);
            if (code == QLatin1String("MLTCNT"))
                return QByteArray::number(qMax(wanted, base(code).toInt()));
            return base(code);
        };
        const VrReaderCamera::Read r = m_camera->read(values, false);
        QSet<QByteArray> codes;
        for (const VcResult &res : r.results) {
            if (!res.noRead)
                codes.insert(res.data);
        }
        counts << (r.good ? codes.size() : 0);
        m_learnProgress = (i + 1) * 100 / tries.size();
    }
    // The most codes wins; among the tries that read them, the middle one keeps a margin on
    // either side (a label a little darker or brighter still reads).
    const int bestCount = counts.isEmpty() ? 0 : *std::max_element(counts.begin(), counts.end());
    QList<int> winners;
    for (int i = 0; i < counts.size(); ++i) {
        if (counts[i] == bestCount && bestCount >= wanted)
            winners << i;
    }
    const int best = winners.isEmpty() ? -1 : winners[winners.size() / 2];
    QJsonObject pass{{QStringLiteral("BarcodeCntUser"), wanted}, {QStringLiteral("BarcodeCnt"), bestCount}};
    if (best < 0) {
        m_learnState = Failed;
        m_learnPass = QJsonDocument(pass).toJson(QJsonDocument::Compact);
        outcome->log << QStringLiteral("self-learning failed: at most %1 of %2 codes").arg(bestCount).arg(wanted);
        return;
    }
    const Candidate c = tries[best];
    const QByteArray exposure = QByteArray::number(c.exposureUs);
    const QByteArray gain = QByteArray::number(c.gainDb);
    const int setId = sets.isEmpty() ? 0 : sets.first().id;
    if (setId) {
        ConfigLibRecord set = sets.first();
        set.setValue(QStringLiteral("EXPFET"), exposure);
        set.setValue(QStringLiteral("EXPFGN"), gain);
        QByteArray merged;
        QString error;
        if (VrConfigSets::merge(*m_table, runningValue(QStringLiteral("MPCADD")), set.toHex(), &merged, &error)) {
            m_running.insert(QStringLiteral("MPCADD"), merged);
            if (prefix == '@')
                m_stored.insert(QStringLiteral("MPCADD"), merged);
        }
    } else {
        for (const auto &kv : {qMakePair(QStringLiteral("EXPMOD"), QByteArray("1")),
                               qMakePair(QStringLiteral("EXPFET"), exposure),
                               qMakePair(QStringLiteral("EXPFGN"), gain)}) {
            m_running.insert(kv.first, kv.second);
            if (prefix == '@')
                m_stored.insert(kv.first, kv.second);
        }
    }
    if (prefix == '@')
        saveState();
    m_learnState = Succeeded;
    m_learnProgress = 100;
    m_learnParams = QJsonDocument(QJsonObject{{QStringLiteral("EXPMOD"), QStringLiteral("1")},
                                              {QStringLiteral("EXPFET"), QString::fromLatin1(exposure)},
                                              {QStringLiteral("EXPFGN"), QString::fromLatin1(gain)},
                                              {QStringLiteral("CfgLibId"), setId}})
                        .toJson(QJsonDocument::Compact);
    m_learnPass = QJsonDocument(pass).toJson(QJsonDocument::Compact);
    outcome->log << QStringLiteral("self-learning: EXPFET%1 EXPFGN%2, %3 code(s)%4")
                        .arg(QString::fromLatin1(exposure), QString::fromLatin1(gain))
                        .arg(bestCount)
                        .arg(setId ? QStringLiteral(" in set %1").arg(setId) : QString());
}
