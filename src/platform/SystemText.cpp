#include "platform/SystemText.h"

#include "platform/Windows1252.h"

#include <QStringEncoder>

#include <algorithm>
#include <bit>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace pq {

namespace {

constexpr char16_t kReplacement = 0xFFFD;

// The length of the pair or the single unit at `at`, or 0 when it is an unpaired half.
qsizetype unitsOfCharacter(const QChar* text, qsizetype size, qsizetype at)
{
    const QChar c = text[at];
    if (!c.isSurrogate())
        return 1;
    if (c.isHighSurrogate() && at + 1 < size && text[at + 1].isLowSurrogate())
        return 2;
    return 0;
}

// The position of the first unpaired surrogate from `from` on, or `size`. Most text holds
// no surrogate at all: the search skips from one to the next.
qsizetype nextUnpairedSurrogate(const QChar* text, qsizetype size, qsizetype from)
{
    const auto* units = reinterpret_cast<const char16_t*>(text);
    for (qsizetype at = from; at < size;) {
        at = findUnit(units + at, size - at, 0xF800, 0xD800) - units;
        if (at == size)
            break;
        const qsizetype length = unitsOfCharacter(text, size, at);
        if (length == 0)
            return at;
        at += length;
    }
    return size;
}

} // namespace

bool hasUnpairedSurrogate(QStringView text)
{
    return nextUnpairedSurrogate(text.data(), text.size(), 0) < text.size();
}

qsizetype replaceUnpairedSurrogates(QChar* text, qsizetype size)
{
    qsizetype replaced = 0;
    for (qsizetype at = nextUnpairedSurrogate(text, size, 0); at < size;
         at = nextUnpairedSurrogate(text, size, at + 1)) {
        text[at] = QChar(kReplacement);
        ++replaced;
    }
    return replaced;
}

const char16_t* findUnit(const char16_t* units, qsizetype size, char16_t mask, char16_t value)
{
    qsizetype at = 0;
#if defined(__SSE2__)
    const __m128i masks = _mm_set1_epi16(static_cast<short>(mask));
    const __m128i values = _mm_set1_epi16(static_cast<short>(value));
    for (; at + 8 <= size; at += 8) {
        const __m128i eight = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + at));
        const int hits = _mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(eight, masks), values));
        if (hits != 0)
            return units + at + std::countr_zero(unsigned(hits)) / 2;
    }
#endif
    for (; at < size; ++at) {
        if ((units[at] & mask) == value)
            return units + at;
    }
    return units + size;
}

namespace SystemText {

QString decodeLegacy(QByteArrayView bytes)
{
    return decodeWindows1252(bytes);
}

qsizetype decodeLegacy(QByteArrayView bytes, QChar* out)
{
    decodeWindows1252(bytes, out);
    return bytes.size();
}

qsizetype append(QStringView text, QByteArray& out)
{
    // Stateless: a surrogate left without its pair at the end of a text is not held over
    // for the next one.
    QStringEncoder encoder(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
    const qsizetype start = out.size();
    out.resize(start + encoder.requiredSpace(text.size()));
    char* end = encoder.appendToBuffer(out.data() + start, text);
    out.resize(end - out.constData());
    if (!encoder.hasError())
        return 0;
    // The encoder wrote U+FFFD for each unpaired surrogate; count them.
    qsizetype replaced = 0;
    for (qsizetype at = 0; at < text.size(); ++at) {
        const qsizetype units = unitsOfCharacter(text.data(), text.size(), at);
        if (units == 0)
            ++replaced;
        else
            at += units - 1;
    }
    return replaced;
}

} // namespace SystemText

} // namespace pq
