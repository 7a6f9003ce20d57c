// The reader engine's tools: read test and debug test, monitoring, and automatic and point
// focus that search for the sharpest image.
#include "VrConfigSets.h"
#include "VrReaderCamera.h"
#include "VrReaderEngine.h"
#include "VvCamera.h"
#include "VrReaderTools.h"

#include <QJsonDocument>
#include <QJsonObject>

using namespace VrReaderTools;

bool VrReaderEngine::isToolValue(const QString &code)
{
    return code == QLatin1String("TESQST") || code == QLatin1String("SCNMTG")
        || code == QLatin1String("FOCQAT");
}

QByteArray VrReaderEngine::toolValue(const QString &code) const
{
    if (code == QLatin1String("TESQST"))
        return state(m_test);
    if (code == QLatin1String("SCNMTG"))
        return QByteArray::number(m_monitor);
    return m_focusState;  // "FOCQAT"
}

void VrReaderEngine::stopTools()
{
    m_test.mode = NoTest;
    m_monitor = 0;
    if (m_vision)
        m_vision->endTest();
}

bool VrReaderEngine::toolRunning() const
{
    return m_camera && (m_test.mode != NoTest || m_monitor != 0);
}

int VrReaderEngine::toolIntervalMs() const
{
    if (m_test.mode == NoTest)
        return monitorIntervalMs(m_monitor);
    if (m_test.mode == ReadRateTest && m_test.settings.mode == 1)
        return m_test.settings.offsetMs;
    bool ok = false;
    const int interval = runningValue(QStringLiteral("SCNITV")).toInt(&ok);
    return qMax(50, ok ? interval : 100);
}

bool VrReaderEngine::toolRequest(char prefix, const QString &code, const QByteArray &value,
                                 Outcome *outcome, KxTagInfo *reply)
{
    const auto refuse = [&](const QString &why) {
        outcome->log << QStringLiteral("refused %1%2: %3").arg(code, QString::fromUtf8(value), why);
        *reply = tag(code, DataResult_Refused, runningValue(code));
        return true;
    };
    if (code == QLatin1String("CCFBML") || code == QLatin1String("ORTSET")) {
        Match match;
        ReadTest readTest;
        const bool ok = code == QLatin1String("CCFBML") ? parseMatch(value, &match)
                                                        : parseReadTest(value, &readTest);
        return ok ? false : refuse(QStringLiteral("not of the form"));  // stored as any setting
    }
    if (code == QLatin1String("SCNMTR")) {
        const int mode = value.toInt();
        if (mode != 0 && (!m_camera || m_test.mode != NoTest))
            return refuse(m_camera ? QStringLiteral("a test runs") : QStringLiteral("no camera"));
        m_monitor = qBound(0, mode, 2);
        return false;
    }
    if (code == QLatin1String("TESSRN") || code == QLatin1String("TESLIB")) {
        if (value != "1")
            return false;
        if (!m_camera)
            return refuse(QStringLiteral("no camera"));
        Match match;
        parseMatch(runningValue(QStringLiteral("CCFBML")), &match);
        m_test = TestRun();
        m_test.level = match.level;
        if (code == QLatin1String("TESSRN")) {
            m_test.mode = DebugTest;
            m_test.limit = match.count;
        } else {
            m_test.mode = ReadRateTest;
            parseReadTest(runningValue(QStringLiteral("ORTSET")), &m_test.settings);
        }
        // A test and monitoring both read on their own: the test takes over.
        m_monitor = 0;
        m_running.insert(QStringLiteral("SCNMTR"), "0");
        m_testSet = 0;
        outcome->log << QStringLiteral("%1 started").arg(code);
        *reply = tag(code, DataResult_Ack, value);
        return true;
    }
    if (code == QLatin1String("TESSEN")) {
        outcome->log << QStringLiteral("test ended: %1 of %2 reads good").arg(m_test.good).arg(m_test.reads);
        m_test.mode = NoTest;
        *reply = tag(code, DataResult_Ack, value);
        return true;
    }
    if (code == QLatin1String("FOCAUT") || code == QLatin1String("FOCPOT")) {
        if (!m_camera)
            return code == QLatin1String("FOCAUT") ? false : refuse(QStringLiteral("no camera"));
        QPoint point;
        const bool atPoint = code == QLatin1String("FOCPOT");
        const QSize sensor = m_camera->sensor();
        if (atPoint && (!parsePoint(value, &point) || point.x() >= sensor.width() || point.y() >= sensor.height()))
            return refuse(QStringLiteral("no point of the sensor"));
        focus(prefix, atPoint ? QRect(point - QPoint(64, 64), QSize(128, 128)) : QRect(), outcome);
        if (atPoint) {
            *reply = tag(code, DataResult_Ack, value);
            return true;
        }
        m_running.insert(code, value);  // the page's button value, as any setting
        *reply = tag(code, DataResult_Ack, value);
        return true;
    }
    return false;
}

void VrReaderEngine::focus(char prefix, const QRect &window, Outcome *outcome)
{
    const VrCommand *focusCmd = m_table->find(QStringLiteral("FOCPOS"));
    const int lo = focusCmd && focusCmd->rule.hasMinimum ? int(focusCmd->rule.minimum) : 0;
    const int hi = focusCmd && focusCmd->rule.hasMaximum ? int(focusCmd->rule.maximum) : 1000;
    const VrReaderCamera::Values base = imageValues();
    double best = 0;
    double worst = 0;
    const int found = searchFocus(lo, hi, [&](int position) {
        const QByteArray p = QByteArray::number(position);
        const QImage image = m_camera->snapshot([&](const QString &code) {
            // Focus wants contrast, not the exposure set for reading: its images expose themselves.
            if (code == QLatin1String("EXPMOD"))
                return QByteArray("0");
            return code == QLatin1String("FOCPOS") ? p : base(code);
        });
        return sharpness(image, window);
    }, &best, &worst);
    QJsonObject st{{QStringLiteral("mode"), window.isEmpty() ? QStringLiteral("auto") : QStringLiteral("point")},
                   {QStringLiteral("sharpness"), qRound(best * 10) / 10.0}};
    if (!focusCmd || !foundEdges(best, worst)) {
        st.insert(QStringLiteral("state"), 3);
        m_focusState = QJsonDocument(st).toJson(QJsonDocument::Compact);
        outcome->log << QStringLiteral("focus found no sharp position (sharpness %1)").arg(best, 0, 'f', 1);
        return;
    }
    const QByteArray value = QByteArray::number(found);
    m_running.insert(focusCmd->code, value);
    if (prefix == '@') {
        m_stored.insert(focusCmd->code, value);
        saveState();
    }
    st.insert(QStringLiteral("state"), 2);
    st.insert(QStringLiteral("FOCPOS"), QString::fromLatin1(value));
    m_focusState = QJsonDocument(st).toJson(QJsonDocument::Compact);
    outcome->log << QStringLiteral("%1 focus: FOCPOS%2").arg(window.isEmpty() ? "automatic" : "point",
                                                             QString::fromLatin1(value));
}

VrReaderEngine::Outcome VrReaderEngine::toolRead()
{
    Outcome out;
    if (!toolRunning())
        return out;
    if (m_test.mode == NoTest) {
        read(&out);  // monitoring: an ordinary read with its result frames
        return out;
    }
    VrReaderCamera::Read r;
    // The injected no-read fault holds for test reads as for any read.
    const bool forced = m_noReadEvery > 0 && (m_reads + 1) % quint64(m_noReadEvery) == 0;
    const auto running = [this](const QString &code) { return runningValue(code); };
    const QList<ConfigLibRecord> sets = VrConfigSets::enabled(runningValue(QStringLiteral("MPCADD")));
    if (m_test.mode == ReadRateTest && m_test.settings.mode == 2 && !sets.isEmpty()) {
        // Each read with the next enabled set, so every set's rate shows in the results.
        const ConfigLibRecord &set = sets.at(m_testSet++ % sets.size());
        r = m_camera->read(VrConfigSets::values(set, running), forced);
        for (VcResult &res : r.results)
            res.configSet = set.id;
    } else {
        r = readWithSets(forced);
    }
    ++m_reads;
    m_readMs += quint64(qRound(r.ms));
    const bool ok = r.good && meetsLevel(r.results, m_test.level);
    if (r.good)
        ++m_goodReads;
    ++m_test.reads;
    if (ok)
        ++m_test.good;
    QList<VcResult> results = r.results;
    if (results.isEmpty()) {
        VcResult none;
        none.noRead = true;
        none.codeId = QStringLiteral("000");
        none.data = QByteArray::fromHex(runningValue(QStringLiteral("NGRSET")));
        results << none;
    }
    const VcSender sender{m_identity.ip, m_identity.mac, m_identity.serial};
    for (const VcResult &res : results)
        out.results << testFrame(res, ok, m_test, sender, ++m_resultSeq, m_reads);
    if (m_test.limit > 0 && m_test.reads >= m_test.limit) {
        m_test.mode = NoTest;
        out.log << QStringLiteral("debug test done: %1 of %2 reads good").arg(m_test.good).arg(m_test.reads);
    }
    return out;
}
