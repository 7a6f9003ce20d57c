// An RFID reader's requests: inventory, counters and tag memory; its settings are ordinary
// settings of the pages.
#include "VrReaderEngine.h"
#include "VrRfid.h"

namespace {
// rule and limit give the "^" answer: "0-1" for a switch, "T0-n" for a request text of n bytes,
// which the client's length synchronisation takes as the longest value.
VrCommand command(const char *code, VrCommand::Kind kind, KxValueRule::Kind rule = KxValueRule::Free,
                  int limit = 0)
{
    VrCommand c;
    c.code = QLatin1String(code);
    c.kind = kind;
    c.rule.kind = rule;
    if (rule == KxValueRule::Integer) {
        c.rule.hasMinimum = c.rule.hasMaximum = true;
        c.rule.maximum = limit;
        c.defaultValue = "0";
    } else if (rule == KxValueRule::Text) {
        c.rule.maxLength = limit;
    }
    return c;
}
}  // namespace

namespace VrRfid {

QList<VrCommand> commands()
{
    // A read names the EPC (up to 31 words), bank, pointer and count; a write up to 32 words.
    return {command("URFINV", VrCommand::Setting, KxValueRule::Integer, 1),
            command("URFSTA", VrCommand::ReadOnly),
            command("URFTRD", VrCommand::Setting, KxValueRule::Text, 140),
            command("URFTWR", VrCommand::Setting, KxValueRule::Text, 260)};
}

bool isRfidTable(const VrCommandTable &table)
{
    return table.find(QStringLiteral("URFREG")) != nullptr;
}

bool parseChannels(const QByteArray &value, int count, QList<int> *channels)
{
    channels->clear();
    const QByteArray v = value.trimmed();
    if (v.isEmpty() || v == "0")
        return true;
    for (const QByteArray &part : v.split('|')) {
        bool ok = false;
        const int n = part.trimmed().toInt(&ok);
        if (!ok || n < 1 || n > count)
            return false;
        if (!channels->contains(n))
            channels->append(n);
    }
    return true;
}

bool settings(const std::function<QByteArray(const QString &)> &value,
              const QMap<QString, QList<double>> &regions, VfSettings *out, QString *error)
{
    const QString region = QString::fromUtf8(value(QStringLiteral("URFREG")));
    const auto table = regions.constFind(region);
    if (table == regions.constEnd() || table->isEmpty()) {
        *error = QStringLiteral("REGION");
        return false;
    }
    QList<int> numbers;
    if (!parseChannels(value(QStringLiteral("URFCHN")), table->size(), &numbers)) {
        *error = QStringLiteral("CHANNEL");
        return false;
    }
    out->channels.clear();
    if (numbers.isEmpty())
        out->channels = *table;
    for (int n : numbers)
        out->channels << table->at(n - 1);
    auto number = [&value](const char *code, int fallback) {
        bool ok = false;
        const int n = value(QLatin1String(code)).toInt(&ok);
        return ok ? n : fallback;
    };
    out->powerDbm = number("URFPWR", 30);
    out->session = number("URFSES", 0);
    out->q = number("URFQVL", 4);
    out->antennas = number("URFANT", 1);
    out->rounds = number("URFRND", 0);
    return true;
}

}  // namespace VrRfid

void VrReaderEngine::setRfid(std::unique_ptr<VfReader> rfid, QMap<QString, QList<double>> regions)
{
    m_rfid = std::move(rfid);
    m_regions = std::move(regions);
}

VrReaderEngine::Outcome VrReaderEngine::rfidTick()
{
    Outcome out;
    if (m_rfid)
        out.results = m_rfid->tick();
    return out;
}

namespace {
// A refused request keeps the value in force as its main value; sub-tag "E" says why.
KxTagInfo withReason(KxTagInfo t, const QByteArray &reason)
{
    t.subTags.append({QStringLiteral("E"), DataResult_Refused, reason});
    return t;
}
}  // namespace

bool VrReaderEngine::rfidRequest(char prefix, char query, const QString &code,
                                 const QByteArray &value, bool hasValue, Outcome *outcome,
                                 KxTagInfo *reply)
{
    const auto running = [this](const QString &c) { return runningValue(c); };
    const bool isQuery = query || !hasValue;
    const auto refusal = [this](const QString &c, const QByteArray &inForce, const QByteArray &reason) {
        return withReason(tag(c, DataResult_Refused, inForce), reason);
    };
    if (code == QLatin1String("URFSTA")) {
        if (!isQuery)
            return false;  // read-only: the generic path refuses
        *reply = tag(code, DataResult_Ack,
                     QStringLiteral("%1R%2N%3F%4T")
                         .arg(m_rfid->rounds())
                         .arg(m_rfid->reads())
                         .arg(qint64(m_rfid->frequency()))
                         .arg(m_rfid->tagsInField())
                         .toUtf8());
        return true;
    }
    if (code == QLatin1String("URFINV")) {
        if (isQuery) {
            *reply = tag(code, DataResult_Ack, m_rfid->running() ? "1" : "0");
            return true;
        }
        VfSettings s;
        QString error;
        if (value == "0") {
            m_rfid->stop();
        } else if (value != "1" || !VrRfid::settings(running, m_regions, &s, &error)) {
            outcome->log << QStringLiteral("refused URFINV%1 %2").arg(QString::fromUtf8(value), error);
            *reply = refusal(code, m_rfid->running() ? "1" : "0",
                             error.isEmpty() ? QByteArray("BADREQ") : error.toUtf8());
            return true;
        } else {
            m_rfid->start(s);
        }
        outcome->log << QStringLiteral("URFINV%1").arg(QString::fromUtf8(value));
        *reply = tag(code, DataResult_Ack, value);
        return true;
    }
    if (code == QLatin1String("URFTRD") || code == QLatin1String("URFTWR")) {
        const bool read = code == QLatin1String("URFTRD");
        if (isQuery) {
            *reply = tag(code, DataResult_Ack, read ? m_lastTagRead : m_lastTagWrite);
            return true;
        }
        // "EPC|bank|word pointer|word count" to read; "EPC|bank|word pointer|data" to write.
        const QList<QByteArray> parts = value.split('|');
        QString error = QStringLiteral("BADREQ");
        QByteArray data;
        bool ok = false;
        if (parts.size() == 4) {
            VfSettings s;
            if (VrRfid::settings(running, m_regions, &s, &error)) {
                m_rfid->setSettings(s);
                bool bankOk = false, ptrOk = false, countOk = true;
                const QByteArray epc = QByteArray::fromHex(parts[0].trimmed());
                const int bank = parts[1].trimmed().toInt(&bankOk);
                const int ptr = parts[2].trimmed().toInt(&ptrOk);
                const int count = read ? parts[3].trimmed().toInt(&countOk) : 0;
                if (!bankOk || !ptrOk || !countOk || epc.isEmpty())
                    error = QStringLiteral("BADREQ");
                else if (read)
                    ok = m_rfid->readMemory(epc, bank, ptr, count, &data, &error);
                else
                    ok = m_rfid->writeMemory(epc, bank, ptr, parts[3].trimmed().toUpper(), &error);
            }
        }
        outcome->log << QStringLiteral("%1%2%3 %4").arg(QLatin1Char(prefix)).arg(code, QString::fromUtf8(value),
                                                         ok ? QStringLiteral("ok") : error);
        if (!ok) {
            *reply = refusal(code, read ? m_lastTagRead : m_lastTagWrite, error.toUtf8());
            return true;
        }
        if (read)
            m_lastTagRead = data;
        else
            m_lastTagWrite = value;
        *reply = tag(code, DataResult_Ack, read ? data : value);
        return true;
    }
    if (code == QLatin1String("URFCHN") && !isQuery) {
        const auto table = m_regions.value(QString::fromUtf8(runningValue(QStringLiteral("URFREG"))));
        QList<int> numbers;
        if (!VrRfid::parseChannels(value, table.size(), &numbers)) {
            outcome->log << QStringLiteral("refused URFCHN%1").arg(QString::fromUtf8(value));
            *reply = refusal(code, runningValue(code), "CHANNEL");
            return true;
        }
        return false;
    }
    if (code == QLatin1String("URFREG") && !isQuery) {
        // Channel numbers belong to a region: a new region starts with every channel.
        const VrCommand *c = m_table->find(code);
        if (c && c->rule.accepts(QString::fromUtf8(value)) && value != runningValue(code)) {
            m_running.insert(QStringLiteral("URFCHN"), "0");
            if (prefix == '@')
                m_stored.insert(QStringLiteral("URFCHN"), "0");
        }
        return false;
    }
    return false;
}
