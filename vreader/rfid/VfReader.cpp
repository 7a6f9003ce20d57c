#include "VfReader.h"

#include <QtEndian>
#include <cctype>
#include <climits>
#include <cmath>

namespace {
// Radio timing of a round: each slot of the query, each tag read, each antenna switch.
constexpr double kSlotMs = 0.0125;
constexpr double kReadMs = 0.125;
constexpr double kAntennaMs = 0.5;
constexpr qint64 kSession1QuietMs = 2000;  // how long a session-1 flag stays set
constexpr int kMaxFramesPerTick = 5000;    // a stalled host does not get a flood when it wakes
constexpr double kMaxBacklogMs = 1000;     // nor does it catch up more than this

bool isHex(const QByteArray &text)
{
    for (char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
    }
    return true;
}
}  // namespace

VfReader::VfReader(VfScene scene) : m_scene(std::move(scene))
{
    m_clock.start();
    m_started.start();
}

QByteArray VfReader::tagFrame(int antenna, int rssi, const QByteArray &epc)
{
    QByteArray body;
    body.append(char(quint8(antenna)));
    body.append(char(qint8(qBound(-128, rssi, 127))));
    body.append(epc);
    QByteArray frame("\xAA\x55\xBB\xCC", 4);
    char len[2];
    qToBigEndian<quint16>(quint16(body.size()), len);
    frame.append(len, 2);
    frame.append(body);
    quint8 x = 0;
    for (char c : body)
        x ^= quint8(c);
    frame.append(char(x));
    return frame;
}

bool VfReader::powered(int powerDbm, double d)
{
    // The tag's chip wakes at -18 dBm; free-space loss of the path to it (30 dB at 1 m).
    return powerDbm - 30 - 20 * std::log10(qMax(d, 0.1)) >= -18;
}

int VfReader::rssi(int powerDbm, double d, const QByteArray &epc, double channelKHz)
{
    // The answer travels the path twice; each tag and channel fades a little in its own way.
    const int fading = int((qHash(epc) ^ uint(channelKHz)) % 5) - 2;
    const double r = powerDbm - 60 - 40 * std::log10(qMax(d, 0.1)) + fading;
    return qBound(-128, int(std::lround(r)), 127);
}

qint64 VfReader::sceneTime() const
{
    return m_running ? m_startScene + qint64(m_simMs) : m_clock.elapsed();
}

void VfReader::start(const VfSettings &settings)
{
    m_settings = settings;
    m_running = (settings.antennas & 0xF) != 0 && !settings.channels.isEmpty();
    m_startScene = m_clock.elapsed();
    m_started.restart();
    m_simMs = 0;
    m_roundsLeft = settings.rounds;
    m_antennaTurn = 0;
    m_channelTurn = 0;
    m_quietUntil.clear();
}

QList<QByteArray> VfReader::tick()
{
    QList<QByteArray> out;
    if (!m_running)
        return out;
    const double now = double(m_started.elapsed());
    if (now - m_simMs > kMaxBacklogMs)
        m_simMs = now - kMaxBacklogMs;
    while (m_running && m_simMs < now && out.size() < kMaxFramesPerTick)
        round(&out);
    return out;
}

QList<QByteArray> VfReader::runRounds(int n)
{
    QList<QByteArray> out;
    for (int i = 0; i < n && m_running; ++i)
        round(&out);
    return out;
}

void VfReader::round(QList<QByteArray> *out)
{
    QList<int> enabled;
    for (int a = 1; a <= 4; ++a) {
        if (m_settings.antennas & (1 << (a - 1)))
            enabled << a;
    }
    if (enabled.isEmpty() || m_settings.channels.isEmpty()) {
        m_running = false;
        return;
    }
    const int antenna = enabled.at(m_antennaTurn++ % enabled.size());
    m_frequency = m_settings.channels.at(m_channelTurn++ % m_settings.channels.size());
    const qint64 t = sceneTime();
    QList<const VfTag *> answering;
    for (const VfTag *tag : m_scene.present(t)) {
        if (powered(m_settings.powerDbm, tag->distance(antenna, t))
            && m_quietUntil.value(tag->epc, -1) <= t)
            answering << tag;
    }
    // Q rounds until every answering tag was singled out: too few slots collide, too many
    // stay empty; both cost time.
    const int slotCount = 1 << qBound(0, m_settings.q, 15);
    int remaining = answering.size();
    double ms = kAntennaMs;
    do {
        int singles = 0;
        if (remaining > 0) {
            const double p = std::pow(1.0 - 1.0 / slotCount, remaining - 1);
            singles = qBound(1, int(std::lround(remaining * p)), remaining);
        }
        ms += slotCount * kSlotMs + singles * kReadMs;
        remaining -= singles;
    } while (remaining > 0);
    for (const VfTag *tag : answering) {
        out->append(tagFrame(antenna, rssi(m_settings.powerDbm, tag->distance(antenna, t), tag->epc,
                                           m_frequency),
                             tag->epc));
        if (m_settings.session == 1)
            m_quietUntil.insert(tag->epc, t + kSession1QuietMs);
        else if (m_settings.session >= 2)
            m_quietUntil.insert(tag->epc, LLONG_MAX);  // until the next inventory
    }
    m_reads += answering.size();
    m_simMs += ms;
    ++m_rounds;
    if (m_roundsLeft > 0 && --m_roundsLeft == 0)
        m_running = false;
}

int VfReader::tagsInField()
{
    return m_scene.present(sceneTime()).size();
}

quint16 VfReader::epcCrc(const QByteArray &pcAndEpc)
{
    quint16 crc = 0xFFFF;
    for (char c : pcAndEpc) {
        crc ^= quint16(quint8(c)) << 8;
        for (int i = 0; i < 8; ++i)
            crc = (crc & 0x8000) ? quint16((crc << 1) ^ 0x1021) : quint16(crc << 1);
    }
    return quint16(~crc);
}

QByteArray VfReader::epcBank(const VfTag &tag) const
{
    QByteArray pcEpc(2, '\0');
    qToBigEndian<quint16>(quint16((tag.epc.size() / 2) << 11), pcEpc.data());
    pcEpc.append(tag.epc);
    QByteArray bank(2, '\0');
    qToBigEndian<quint16>(epcCrc(pcEpc), bank.data());
    return bank + pcEpc;
}

VfTag *VfReader::reachable(const QByteArray &epc)
{
    const qint64 t = sceneTime();
    VfTag *tag = m_scene.find(epc, t);
    if (!tag)
        return nullptr;
    for (int a = 1; a <= 4; ++a) {
        if ((m_settings.antennas & (1 << (a - 1))) && powered(m_settings.powerDbm, tag->distance(a, t)))
            return tag;
    }
    return nullptr;
}

bool VfReader::readMemory(const QByteArray &epc, int bank, int wordPtr, int words, QByteArray *hex,
                          QString *error)
{
    VfTag *tag = reachable(epc);
    if (!tag) {
        *error = QStringLiteral("NOTAG");
        return false;
    }
    QByteArray data;
    switch (bank) {
    case Reserved: data = tag->reserved; break;
    case EpcBank: data = epcBank(*tag); break;
    case TidBank: data = tag->tid; break;
    case UserBank: data = tag->user; break;
    default: *error = QStringLiteral("BADREQ"); return false;
    }
    if (wordPtr < 0 || words < 1 || wordPtr + words > data.size() / 2) {
        *error = QStringLiteral("RANGE");
        return false;
    }
    *hex = data.mid(wordPtr * 2, words * 2).toHex().toUpper();
    return true;
}

bool VfReader::writeMemory(const QByteArray &epc, int bank, int wordPtr, const QByteArray &hex,
                           QString *error)
{
    if (hex.isEmpty() || hex.size() % 4 != 0 || !isHex(hex) || bank < 0 || bank > 3) {
        *error = QStringLiteral("BADREQ");
        return false;
    }
    VfTag *tag = reachable(epc);
    if (!tag) {
        *error = QStringLiteral("NOTAG");
        return false;
    }
    const QByteArray data = QByteArray::fromHex(hex);
    QByteArray *target = nullptr;
    int offset = wordPtr * 2;
    switch (bank) {
    case Reserved: target = &tag->reserved; break;
    case TidBank: *error = QStringLiteral("LOCKED"); return false;
    case UserBank: target = &tag->user; break;
    default:
        // CRC and PC words are the tag's own; the EPC follows them.
        target = &tag->epc;
        offset = (wordPtr - 2) * 2;
        break;
    }
    if (wordPtr < 0 || offset < 0 || offset + data.size() > target->size()) {
        *error = QStringLiteral("RANGE");
        return false;
    }
    target->replace(offset, data.size(), data);
    return true;
}
