#include "KxCrcFold.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define KX_FOLD_X86 1
#include <immintrin.h>
#endif

namespace KxCrcFold {

namespace {
// x^n mod P in normal form (bit d is the coefficient of x^d).
quint64 powerMod(int width, quint32 normal, int n)
{
    const quint64 top = 1ull << width;
    const quint64 full = top | normal;
    quint64 r = 1;
    for (int i = 0; i < n; ++i) {
        r <<= 1;
        if (r & top)
            r ^= full;
    }
    return r;
}

// A remainder as the multiplier of a reflected 64-bit half: bit j holds x^(63 - j). A product
// of two such halves lands one bit short of the block's own layout, hence the n - 1 in the
// exponents below.
quint64 reflected(quint64 k)
{
    quint64 c = 0;
    for (int d = 0; d < 64; ++d) {
        if ((k >> d) & 1)
            c |= 1ull << (63 - d);
    }
    return c;
}

#ifdef KX_FOLD_X86
// Moves a 128-bit block `distance` bits forward: its high-order half (the register's low
// qword) times x^(64 + distance - 1), its low-order half times x^(distance - 1).
__attribute__((target("pclmul,sse2"))) inline __m128i foldBy(__m128i a, __m128i k)
{
    return _mm_xor_si128(_mm_clmulepi64_si128(a, k, 0x00), _mm_clmulepi64_si128(a, k, 0x11));
}

__attribute__((target("pclmul,sse2"))) inline __m128i load(const char *p)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
}

__attribute__((target("pclmul,sse2"))) qsizetype foldX86(const Poly &poly, quint32 initial,
                                                         const char *data, qsizetype size,
                                                         uchar out[16])
{
    const __m128i by512 = _mm_set_epi64x(qint64(poly.k511), qint64(poly.k575));
    const __m128i by128 = _mm_set_epi64x(qint64(poly.k127), qint64(poly.k191));
    const qsizetype blocks = size / 16;
    // Four blocks in flight hide the multiplier's latency.
    __m128i a0 = _mm_xor_si128(load(data), _mm_cvtsi32_si128(int(initial)));
    __m128i a1 = load(data + 16);
    __m128i a2 = load(data + 32);
    __m128i a3 = load(data + 48);
    const char *p = data + 64;
    qsizetype left = blocks - 4;
    for (; left >= 4; left -= 4, p += 64) {
        a0 = _mm_xor_si128(foldBy(a0, by512), load(p));
        a1 = _mm_xor_si128(foldBy(a1, by512), load(p + 16));
        a2 = _mm_xor_si128(foldBy(a2, by512), load(p + 32));
        a3 = _mm_xor_si128(foldBy(a3, by512), load(p + 48));
    }
    __m128i x = _mm_xor_si128(foldBy(a0, by128), a1);
    x = _mm_xor_si128(foldBy(x, by128), a2);
    x = _mm_xor_si128(foldBy(x, by128), a3);
    for (; left > 0; --left, p += 16)
        x = _mm_xor_si128(foldBy(x, by128), load(p));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(out), x);
    return blocks * 16;
}
#endif
}  // namespace

Poly::Poly(int w, quint32 p)
    : width(w), normal(p), k575(reflected(powerMod(w, p, 575))), k511(reflected(powerMod(w, p, 511))),
      k191(reflected(powerMod(w, p, 191))), k127(reflected(powerMod(w, p, 127)))
{
}

bool available()
{
#ifdef KX_FOLD_X86
    static const bool has = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse2");
    return has;
#else
    return false;
#endif
}

qsizetype fold(const Poly &poly, quint32 initial, const char *data, qsizetype size, uchar out[16])
{
#ifdef KX_FOLD_X86
    if (size >= 64 && available())
        return foldX86(poly, initial, data, size, out);
#else
    Q_UNUSED(poly) Q_UNUSED(initial) Q_UNUSED(data) Q_UNUSED(size) Q_UNUSED(out)
#endif
    return 0;
}

}  // namespace KxCrcFold
