#include "KxFrameAssembler.h"

#include "KxBinaryFrame.h"
#include "KxDataStreamTypes.h"
#include "KxLinkFrames.h"

#include <QtEndian>

#include <cstring>

namespace {
const uchar kTagHead[4] = {0xAA, 0x55, 0xBB, 0xCC};
}

KxFrameAssembler::KxFrameAssembler(Side side) : m_side(side) {}

void KxFrameAssembler::append(const QByteArray &bytes)
{
    m_buffer.append(bytes);
}

void KxFrameAssembler::clear()
{
    m_discarded += buffered();
    m_buffer.clear();
    m_pos = 0;
    m_textAt = -1;
}

void KxFrameAssembler::compact()
{
    // Only once the taken part is at least half the buffer: moving the rest after every frame
    // of a large read was quadratic.
    if (m_pos > 0 && (m_pos >= m_buffer.size() || (m_pos > 65536 && m_pos >= m_buffer.size() - m_pos))) {
        m_buffer.remove(0, m_pos);
        m_pos = 0;
        m_textAt = -1;  // positions moved
    }
}

bool KxFrameAssembler::next(Frame *frame)
{
    while (m_pos < m_buffer.size()) {
        int size = 0;
        Frame f;
        const Match m = tryAt(m_pos, &f, &size);
        if (m == Match::Wait)
            break;
        if (m == Match::Skip) {
            ++m_pos;
            ++m_discarded;
            continue;
        }
        f.bytes = m_buffer.mid(m_pos, size);
        m_pos += size;
        compact();
        *frame = f;
        return true;
    }
    compact();
    return false;
}

KxFrameAssembler::Match KxFrameAssembler::tryAt(int at, Frame *frame, int *size) const
{
    const auto c = uchar(m_buffer[at]);
    Match m = Match::Skip;
    if (c == 0x7E) {
        const bool text = at + 1 < m_buffer.size() && uchar(m_buffer[at + 1]) == 0x01;
        if (at + 1 >= m_buffer.size())
            return Match::Wait;
        if (text && m_side == Side::Reader) {
            frame->type = FrameType::TextRequest;
            m = tryText(at, frame, size);
        } else if (!text) {
            m = tryBinary(at, size);
            frame->type = FrameType::Binary;
        }
    } else if (m_side == Side::Client) {
        if (c == 'K') {
            m = tryKestor(at, size);
            frame->type = FrameType::Kestor;
        } else if (c == 0xAA) {
            m = tryTag(at, size);
            frame->type = FrameType::TagFrame;
        } else if (c == 0x02) {
            m = tryTest(at, size);
            frame->type = FrameType::TestFrame;
        }
    }
    return m;
}

KxFrameAssembler::Match KxFrameAssembler::tryText(int at, Frame *frame, int *size) const
{
    const auto *p = reinterpret_cast<const uchar *>(m_buffer.constData());
    const int have = m_buffer.size();
    // Ends a broken request at end (exclusive); the search resumes there.
    auto broken = [&](int end, const char *why) {
        frame->type = FrameType::Malformed;
        frame->error = why;
        *size = end - at;
        return Match::Frame;
    };
    for (int i = at + 2; i < at + 6; ++i) {
        if (i >= have)
            return Match::Wait;
        if (p[i] == 0x7E)
            return broken(i, "request cut short by a new frame");
        if (p[i] != '0')
            return broken(i + 1, "fixed field of a text request is not 0000");
    }
    if (at + 6 >= have)
        return Match::Wait;
    if (p[at + 6] == 0x7E)
        return broken(at + 6, "request cut short by a new frame");
    if (p[at + 6] != '@' && p[at + 6] != '#')
        return broken(at + 7, "request prefix must be @ or #");
    const int end = qMin(have, at + KxProtocol::MaxTextRequest);
    const int from = m_textAt == at ? qMax(at + 7, at + m_textChecked) : at + 7;
    for (int i = from; i < end; ++i) {
        const uchar u = p[i];
        if (u >= 0x20 && u != 0x7E && u != 0x7F)
            continue;
        if (u == uchar(KxFrame::Tail)) {
            if (p[i - 1] != ';')
                return broken(i + 1, "request must end with ; before 03");
            *size = i + 1 - at;
            return Match::Frame;
        }
        if (u == 0x7E)
            return broken(i, "request cut short by a new frame");
        return broken(i + 1, "control byte in request");
    }
    if (end - at >= KxProtocol::MaxTextRequest)
        return broken(end, "request longer than 1048576 bytes");
    m_textAt = at;
    m_textChecked = end - at;
    return Match::Wait;
}

KxFrameAssembler::Match KxFrameAssembler::tryBinary(int at, int *size) const
{
    const int have = m_buffer.size() - at;
    const auto *p = reinterpret_cast<const uchar *>(m_buffer.constData() + at);
    if (!KxFrame::isKnownBinaryKind(p[1]))
        return Match::Skip;
    if (have < 6)
        return Match::Wait;
    const quint32 len = qFromBigEndian<quint32>(p + 2);
    if (len > KxProtocol::MaxPayload)
        return Match::Skip;
    const qint64 total = qint64(len) + KxFrame::EnvelopeSize;
    if (have < total)
        return Match::Wait;
    if (p[total - 1] != uchar(KxFrame::Tail))
        return Match::Skip;
    const quint16 sum = qFromBigEndian<quint16>(p + 6 + len);
    if (sum != KxFrame::crc(reinterpret_cast<const char *>(p + 1), int(len) + 5))
        return Match::Skip;
    *size = int(total);
    return Match::Frame;
}

KxFrameAssembler::Match KxFrameAssembler::tryKestor(int at, int *size) const
{
    static const char magic[] = "KESTOR";
    const int have = m_buffer.size() - at;
    if (std::memcmp(m_buffer.constData() + at, magic, size_t(qMin(have, 6))) != 0)
        return Match::Skip;
    if (have < KxKestor::HeaderSize)
        return Match::Wait;
    const quint32 len = qFromBigEndian<quint32>(m_buffer.constData() + at + 8);
    if (len > KxProtocol::MaxPayload)
        return Match::Skip;
    const qint64 total = qint64(len) + KxKestor::HeaderSize;
    if (have < total)
        return Match::Wait;
    *size = int(total);
    return Match::Frame;
}

KxFrameAssembler::Match KxFrameAssembler::tryTag(int at, int *size) const
{
    const int have = m_buffer.size() - at;
    if (std::memcmp(m_buffer.constData() + at, kTagHead, size_t(qMin(have, 4))) != 0)
        return Match::Skip;
    if (have < 6)
        return Match::Wait;
    const quint16 len = qFromBigEndian<quint16>(m_buffer.constData() + at + 4);
    const int total = len + 2 + 4 + 1;
    if (have < total)
        return Match::Wait;
    *size = total;
    return Match::Frame;
}

KxFrameAssembler::Match KxFrameAssembler::tryTest(int at, int *size) const
{
    const int have = m_buffer.size() - at;
    if (have < 2)
        return Match::Wait;
    if (m_buffer[at + 1] != 0x02)
        return Match::Skip;
    if (have < 10)
        return Match::Wait;
    bool ok = false;
    const quint32 total = m_buffer.mid(at + 2, 8).toUInt(&ok, 16);
    if (!ok || total < 10 || total > KxProtocol::MaxPayload)
        return Match::Skip;
    if (quint32(have) < total)
        return Match::Wait;
    *size = int(total);
    return Match::Frame;
}
