#include "KxResultRing.h"

#include <cstring>

KxResultRing::KxResultRing(size_t capacity)
{
    size_t cap = 1;
    while (cap < capacity)
        cap <<= 1;
    m_capacity = cap;
    m_mask = cap - 1;
    m_bytes.reset(new unsigned char[cap]);
}

size_t KxResultRing::freeSpace() const
{
    return m_capacity - (m_writePos.load(std::memory_order_relaxed)
                         - m_readPos.load(std::memory_order_acquire));
}

size_t KxResultRing::available() const
{
    return m_writePos.load(std::memory_order_acquire) - m_readPos.load(std::memory_order_relaxed);
}

bool KxResultRing::append(const char *data, size_t size)
{
    if (size == 0)
        return true;
    if (size > freeSpace())
        return false;
    const size_t w = m_writePos.load(std::memory_order_relaxed);
    const size_t index = w & m_mask;
    const size_t first = qMin(size, m_capacity - index);
    std::memcpy(m_bytes.get() + index, data, first);
    if (first < size)
        std::memcpy(m_bytes.get(), data + first, size - first);
    m_writePos.store(w + size, std::memory_order_release);
    return true;
}

size_t KxResultRing::find(const char *pattern, size_t patternSize, size_t from, size_t limit) const
{
    const size_t avail = qMin(limit, available());
    if (patternSize == 0 || from + patternSize > avail)
        return npos;
    const size_t base = m_readPos.load(std::memory_order_relaxed);
    const unsigned char first = static_cast<unsigned char>(pattern[0]);
    size_t offset = from;
    const size_t lastStart = avail - patternSize;
    while (offset <= lastStart) {
        // memchr over the contiguous run up to the ring's end or the last possible start.
        const size_t index = (base + offset) & m_mask;
        const size_t run = qMin(lastStart - offset + 1, m_capacity - index);
        const void *hit = std::memchr(m_bytes.get() + index, first, run);
        if (!hit) {
            offset += run;
            continue;
        }
        offset += static_cast<const unsigned char *>(hit) - (m_bytes.get() + index);
        size_t i = 1;
        while (i < patternSize && at(offset + i) == static_cast<unsigned char>(pattern[i]))
            ++i;
        if (i == patternSize)
            return offset;
        ++offset;
    }
    return npos;
}

void KxResultRing::copyOut(size_t offset, size_t size, char *dest) const
{
    const size_t index = (m_readPos.load(std::memory_order_relaxed) + offset) & m_mask;
    const size_t first = qMin(size, m_capacity - index);
    std::memcpy(dest, m_bytes.get() + index, first);
    if (first < size)
        std::memcpy(dest + first, m_bytes.get(), size - first);
}

void KxResultRing::consume(size_t size)
{
    m_readPos.store(m_readPos.load(std::memory_order_relaxed) + qMin(size, available()),
                    std::memory_order_release);
}

// ---------------------------------------------------------------------------------------------

KxFrameSearch::KxFrameSearch(KxFrameLayout layout, size_t maxFrame)
    : m_layout(layout), m_maxFrame(maxFrame)
{
    switch (layout) {
    case KxFrameLayout::Tag:
        m_header = "\xAA\x55\xBB\xCC";
        m_headerSize = 4;
        m_lengthSize = 2;
        break;
    case KxFrameLayout::Kestor:
        m_header = "KESTOR";
        m_headerSize = 6;
        m_lengthSize = 6;  // the message type, then the length
        break;
    case KxFrameLayout::Test:
        m_header = "\x02\x02";
        m_headerSize = 2;
        m_lengthSize = 8;
        break;
    }
}

static int hexDigit(unsigned char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

size_t KxFrameSearch::frameSize(const KxResultRing &ring, size_t at) const
{
    const size_t f = at + m_headerSize;
    switch (m_layout) {
    case KxFrameLayout::Tag:
        return ((size_t(ring.at(f)) << 8) | ring.at(f + 1)) + 2 + m_headerSize + 1;
    case KxFrameLayout::Kestor: {
        size_t len = 0;
        for (size_t i = 0; i < 4; ++i)
            len = (len << 8) | ring.at(f + 2 + i);
        return len + 6 + m_headerSize;
    }
    case KxFrameLayout::Test: {
        size_t len = 0;
        for (size_t i = 0; i < 8; ++i) {
            const int d = hexDigit(ring.at(f + i));
            if (d < 0)
                return 0;
            len = (len << 4) | size_t(d);
        }
        // The length covers the whole frame, so it can never be shorter than its own prefix.
        return len < m_headerSize + m_lengthSize ? 0 : len;
    }
    }
    return 0;
}

KxFrameSearch::Outcome KxFrameSearch::next(KxResultRing &ring, char *out, size_t *size) const
{
    const size_t keep = m_headerSize - 1;
    const size_t avail = ring.available();
    if (avail <= keep)
        return Outcome::Wait;
    const size_t at = ring.find(m_header, m_headerSize, 0, avail);
    if (at == KxResultRing::npos) {
        // The tail may be the start of a header still arriving.
        ring.consume(avail - keep);
        return Outcome::Discarded;
    }
    if (at > 0) {
        ring.consume(at);
        return Outcome::Discarded;
    }
    if (avail < m_headerSize + m_lengthSize)
        return Outcome::Wait;
    const size_t total = frameSize(ring, 0);
    if (total == 0 || total > m_maxFrame) {
        // Not a frame we can hold: skip the header's first byte and look again.
        ring.consume(1);
        return Outcome::Discarded;
    }
    if (avail < total)
        return Outcome::Wait;
    ring.copyOut(0, total, out);
    ring.consume(total);
    *size = total;
    return Outcome::Frame;
}
