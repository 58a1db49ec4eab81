#include "platform/Windows1252.h"

#include <array>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace pq {

namespace {

// Code points of the bytes 0x80..0x9F; the rest of the code page equals Latin-1.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

} // namespace

QString decodeWindows1252(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    decodeWindows1252(bytes, text.data());
    return text;
}

void decodeWindows1252(QByteArrayView bytes, QChar* out)
{
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
    auto* to = reinterpret_cast<char16_t*>(out);
    const qsizetype size = bytes.size();
    qsizetype at = 0;
#if defined(__SSE2__)
    // Sixteen bytes at a time as Latin-1; only a chunk holding one of 0x80..0x9F, which
    // the code page gives characters of their own, is looked at byte by byte.
    const __m128i zero = _mm_setzero_si128();
    const __m128i flip = _mm_set1_epi8(char(0x80));
    const __m128i controls = _mm_set1_epi8(0x20);
    for (; at + 16 <= size; at += 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + at));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + at), _mm_unpacklo_epi8(chunk, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + at + 8), _mm_unpackhi_epi8(chunk, zero));
        // 0x80..0x9F become 0x00..0x1F, every other byte something else as a signed byte.
        const __m128i shifted = _mm_xor_si128(chunk, flip);
        const __m128i high =
            _mm_andnot_si128(_mm_cmplt_epi8(shifted, zero), _mm_cmplt_epi8(shifted, controls));
        if (_mm_movemask_epi8(high) == 0)
            continue;
        for (qsizetype i = at; i < at + 16; ++i) {
            if (in[i] >= 0x80 && in[i] <= 0x9F)
                to[i] = kHighControls[in[i] - 0x80];
        }
    }
#endif
    for (; at < size; ++at)
        to[at] = in[at] >= 0x80 && in[at] <= 0x9F ? kHighControls[in[at] - 0x80] : char16_t(in[at]);
}

} // namespace pq
