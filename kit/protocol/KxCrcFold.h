#pragma once
// Reflected CRCs of large buffers by carry-less multiplication: the buffer is folded 64 bytes at
// a time into 16 bytes that leave the same remainder, and only those and the tail go through the
// caller's byte table. A firmware step or a large reply is summed several times on its way; the
// table loops alone were most of a transfer's time. Falls back (returns false) on processors
// without the instruction, so callers keep their table loop for that case and for short input.
#include <QtGlobal>

namespace KxCrcFold {

// Constants of one reflected CRC of width 16 or 32 (normal-form polynomial without its top bit).
struct Poly
{
    int width;
    quint32 normal;
    quint64 k575, k511, k191, k127;  // x^n mod P, bit-reflected into 64-bit multiplier form
    explicit Poly(int width, quint32 normalPoly);
};

// True when the processor can fold.
bool available();

// Folds data (size >= 64) into out[16]: the pure remainder (no initial value, no final xor) of
// out equals that of data after `initial` was xored into data's first width/8 bytes (little
// endian). Then the caller runs its table over out and the size % 16 bytes after the folded
// part, starting from a zero register. Returns how many bytes of data were folded (a multiple
// of 16), 0 when folding is not available.
qsizetype fold(const Poly &poly, quint32 initial, const char *data, qsizetype size, uchar out[16]);

}  // namespace KxCrcFold
