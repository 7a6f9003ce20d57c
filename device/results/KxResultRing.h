#pragma once
// A fixed byte ring for one writer thread and one reader thread, without a lock: the writer
// only moves the write position (after copying), the reader only the read position (after
// using the bytes). Positions count bytes ever written and read; the index is taken modulo the
// capacity, which is a power of two.
#include <QtGlobal>

#include <atomic>
#include <memory>

class KxResultRing
{
public:
    static constexpr size_t npos = size_t(-1);

    explicit KxResultRing(size_t capacity);
    KxResultRing(const KxResultRing &) = delete;
    KxResultRing &operator=(const KxResultRing &) = delete;

    size_t capacity() const { return m_capacity; }
    // Writer side. False, with nothing written, when the bytes do not fit whole.
    bool append(const char *data, size_t size);
    size_t freeSpace() const;

    // Reader side; offsets are relative to the read position.
    size_t available() const;
    unsigned char at(size_t offset) const
    {
        return m_bytes[(m_readPos.load(std::memory_order_relaxed) + offset) & m_mask];
    }
    // First offset >= from (and < limit) where the pattern starts; npos when none.
    size_t find(const char *pattern, size_t patternSize, size_t from, size_t limit) const;
    void copyOut(size_t offset, size_t size, char *dest) const;
    void consume(size_t size);
    // Reader side: drops everything buffered.
    void clear() { consume(available()); }

private:
    size_t m_capacity;
    size_t m_mask;
    std::unique_ptr<unsigned char[]> m_bytes;
    alignas(64) std::atomic<size_t> m_writePos{0};
    alignas(64) std::atomic<size_t> m_readPos{0};
};

// The three frame layouts of a reader's result stream.
enum class KxFrameLayout {
    Tag = 1,     // AA 55 BB CC, u16 length; frame = length + 2 + 4 + 1
    Kestor = 2,  // "KESTOR", u16 type, u32 length; frame = length + 12
    Test = 3,    // 02 02, eight hex digits giving the whole frame's size
};

// Cuts frames of one layout out of the ring. One call looks for one frame.
class KxFrameSearch
{
public:
    enum class Outcome {
        Frame,     // a frame was copied out and consumed
        Wait,      // nothing complete yet; nothing that could start a frame was dropped
        Discarded, // bytes that cannot start a frame were dropped; call again
    };

    KxFrameSearch(KxFrameLayout layout, size_t maxFrame);
    // On Frame, *size bytes are in out (which holds maxFrame bytes).
    Outcome next(KxResultRing &ring, char *out, size_t *size) const;
    KxFrameLayout layout() const { return m_layout; }

    const char *header() const { return m_header; }
    size_t headerSize() const { return m_headerSize; }
    size_t lengthFieldSize() const { return m_lengthSize; }

private:
    // The frame size the length field at offset `at` (the header's start) announces; 0 when
    // the field is not a length at all.
    size_t frameSize(const KxResultRing &ring, size_t at) const;

    KxFrameLayout m_layout;
    size_t m_maxFrame;
    const char *m_header;
    size_t m_headerSize;
    size_t m_lengthSize;
};
