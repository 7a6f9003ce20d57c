// The reader engine's configuration sets: writing one set, and reads that go through the
// enabled sets.
#include "VrConfigSets.h"
#include "VrReaderCamera.h"
#include "VrReaderEngine.h"

KxTagInfo VrReaderEngine::writeConfigSet(char prefix, const QByteArray &value, Outcome *outcome)
{
    const QString code = QStringLiteral("MPCADD");
    QByteArray merged;
    QString error;
    if (!VrConfigSets::merge(*m_table, runningValue(code), value, &merged, &error)) {
        outcome->log << QStringLiteral("refused %1 record: %2").arg(code, error);
        return tag(code, DataResult_Refused, QByteArray());
    }
    m_running.insert(code, merged);
    if (prefix == '@') {
        m_stored.insert(code, merged);
        saveState();
    }
    for (const ConfigLibRecord &r : ConfigLibRecord::splitList(value)) {
        outcome->log << QStringLiteral("%1MPCADD set %2 \"%3\" %4").arg(QLatin1Char(prefix)).arg(r.id)
                            .arg(r.name, r.enable ? QStringLiteral("enabled") : QStringLiteral("disabled"));
    }
    // Acknowledged with the record sent, so a client's check of the echo holds.
    return tag(code, DataResult_Ack, value);
}

VrReaderCamera::Read VrReaderEngine::readWithSets(bool forced)
{
    const auto running = [this](const QString &code) { return runningValue(code); };
    const QList<ConfigLibRecord> sets = VrConfigSets::enabled(runningValue(QStringLiteral("MPCADD")));
    if (sets.isEmpty())
        return m_camera->read(running, forced);
    // Each enabled set in id order takes as many images as its retry count; the first set that
    // reads ends the read, and its results name it.
    VrReaderCamera::Read total;
    for (const ConfigLibRecord &set : sets) {
        for (int attempt = 0; attempt < qMax(1, set.retryCount); ++attempt) {
            VrReaderCamera::Read r = m_camera->read(VrConfigSets::values(set, running), forced);
            total.ms += r.ms;
            total.log << r.log;
            total.results = r.results;
            for (VcResult &res : total.results)
                res.configSet = set.id;
            if (r.good) {
                total.good = true;
                total.log << QStringLiteral("set %1 read on attempt %2").arg(set.id).arg(attempt + 1);
                return total;
            }
        }
    }
    return total;
}

VrReaderCamera::Values VrReaderEngine::imageValues() const
{
    // An image shows what a read's first image sees: the first enabled set, if any.
    const auto running = [this](const QString &code) { return runningValue(code); };
    const QList<ConfigLibRecord> sets = VrConfigSets::enabled(runningValue(QStringLiteral("MPCADD")));
    return sets.isEmpty() ? VrReaderCamera::Values(running) : VrConfigSets::values(sets.first(), running);
}
