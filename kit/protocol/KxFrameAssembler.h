#pragma once
// Cuts a byte stream into frames. Bytes that belong to no frame are dropped and counted, so
// garbage never stops the frames behind it. A frame whose header promises more bytes than have
// arrived is waited for: callers bound that wait with their time-outs and clear() after one.
// On the reader side a text request that starts well (7E 01) but breaks a rule comes out as a
// Malformed frame with the reason, so the reader can reject it; the search goes on right after
// the fault (or at the 7E that cut the request short), since a text request never holds a 7E.
#include <QByteArray>

class KxFrameAssembler
{
public:
    enum class Side {
        Reader,  // accepts text requests and binary frames
        Client,  // accepts binary frames and result frames ("KESTOR", AA 55 BB CC, 02 02)
    };
    enum class FrameType { TextRequest, Binary, Kestor, TagFrame, TestFrame, Malformed };
    struct Frame
    {
        FrameType type = FrameType::Binary;
        QByteArray bytes;
        const char *error = nullptr;  // Malformed: why (static text)
    };

    explicit KxFrameAssembler(Side side);

    void append(const QByteArray &bytes);
    // Takes the next complete frame; false when none is complete yet.
    bool next(Frame *frame);

    int buffered() const { return m_buffer.size() - m_pos; }
    qint64 discardedBytes() const { return m_discarded; }
    void clear();

private:
    enum class Match { Frame, Wait, Skip };
    Match tryAt(int at, Frame *frame, int *size) const;
    Match tryText(int at, Frame *frame, int *size) const;
    Match tryBinary(int at, int *size) const;
    Match tryKestor(int at, int *size) const;
    Match tryTag(int at, int *size) const;
    Match tryTest(int at, int *size) const;
    void compact();

    Side m_side;
    QByteArray m_buffer;
    int m_pos = 0;
    qint64 m_discarded = 0;
    // How far the text request waiting at m_textAt has been checked, so a long request arriving
    // in pieces is scanned once, not from its start with every piece.
    mutable int m_textAt = -1;
    mutable int m_textChecked = 0;
};
