#include "match/TextKeys.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace pq {

namespace {

bool isOtherSpaceSeparator(char16_t c)
{
    return c == 0x00a0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200a) || c == 0x202f ||
           c == 0x205f || c == 0x3000;
}

char16_t foldedAscii(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? char16_t(c + (u'a' - u'A')) : c;
}

// Whether the character is printable ASCII or TAB, the characters whose keys are made here
// rather than by Qt: they fold to lower case and are neither invisible nor unusual blanks.
bool isPlainAscii(char16_t c)
{
    return char16_t(c - u' ') < char16_t(0x7f - u' ') || c == u'\t';
}

#if defined(__SSE2__)
// Folds eight characters at a time, as far as whole groups of eight go; returns how many
// characters it folded, and clears `plain` when one of them was not plain ASCII. The
// comparisons are signed: a character from U+8000 up reads as negative, below the range.
qsizetype foldPlainAsciiGroups(const char16_t* text, qsizetype size, char16_t* out, bool& plain)
{
    const __m128i belowPrintable = _mm_set1_epi16(u' ' - 1);
    const __m128i abovePrintable = _mm_set1_epi16(0x7f);
    const __m128i tab = _mm_set1_epi16(u'\t');
    const __m128i belowUpper = _mm_set1_epi16(u'A' - 1);
    const __m128i aboveUpper = _mm_set1_epi16(u'Z' + 1);
    const __m128i toLower = _mm_set1_epi16(u'a' - u'A');
    __m128i notPlain = _mm_setzero_si128();
    qsizetype i = 0;
    for (; i + 8 <= size; i += 8) {
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
        const __m128i printable =
            _mm_and_si128(_mm_cmpgt_epi16(c, belowPrintable), _mm_cmplt_epi16(c, abovePrintable));
        notPlain = _mm_or_si128(
            notPlain,
            _mm_andnot_si128(_mm_or_si128(printable, _mm_cmpeq_epi16(c, tab)), _mm_set1_epi16(-1)));
        const __m128i upper =
            _mm_and_si128(_mm_cmpgt_epi16(c, belowUpper), _mm_cmplt_epi16(c, aboveUpper));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i),
                         _mm_add_epi16(c, _mm_and_si128(upper, toLower)));
    }
    plain = plain && _mm_movemask_epi8(notPlain) == 0;
    return i;
}
#endif

// Writes the text folded to lower case to `out`; returns whether it was plain ASCII through
// and through.
bool foldPlainAscii(const char16_t* text, qsizetype size, char16_t* out)
{
    bool plain = true;
    qsizetype i = 0;
#if defined(__SSE2__)
    i = foldPlainAsciiGroups(text, size, out, plain);
#endif
    for (; i < size; ++i) {
        const char16_t c = text[i];
        plain = plain && isPlainAscii(c);
        out[i] = foldedAscii(c);
    }
    return plain;
}

// Folds text that is not plain ASCII into `buffer`, reusing its room.
QStringView foldByQt(QString& buffer, QStringView text)
{
    buffer.resize(text.size());
    std::copy(text.begin(), text.end(), buffer.begin());
    buffer = std::move(buffer).toCaseFolded();
    return buffer;
}

// Room for `size` characters in `buffer`.
char16_t* roomIn(std::vector<char16_t>& buffer, qsizetype size)
{
    if (buffer.size() < size_t(size))
        buffer.resize(size_t(size));
    return buffer.data();
}

} // namespace

bool isBlank(char16_t c)
{
    return c == u' ' || c == u'\t' || (c >= 0x00a0 && isOtherSpaceSeparator(c));
}

bool isInvisible(char16_t c)
{
    if (c < 0x00a0)
        return (c < 0x20 && c != u'\t') || (c >= 0x7f && c <= 0x9f) || c == 0x00a0;
    return c == 0x00a0 || c == 0x00ad || (c >= 0x200b && c <= 0x200f) ||
           (c >= 0x202a && c <= 0x202e) || (c >= 0x2060 && c <= 0x2064) ||
           (c >= 0x2066 && c <= 0x2069) || c == 0xfeff;
}

QStringView trimBlanks(QStringView text)
{
    if (text.isEmpty() || (!isBlank(text.front().unicode()) && !isBlank(text.back().unicode())))
        return text;
    qsizetype from = 0;
    qsizetype to = text.size();
    while (from < to && isBlank(text[from].unicode()))
        ++from;
    while (to > from && isBlank(text[to - 1].unicode()))
        --to;
    return text.sliced(from, to - from);
}

QStringView KeyMaker::exactKey(QStringView text, CompareOptions options)
{
    return exactKey(text, options, roomIn(m_exactRoom, text.size()));
}

QStringView KeyMaker::exactKey(QStringView text, CompareOptions options, char16_t* out)
{
    if (options.ignoreBlanks)
        text = trimBlanks(text);
    if (!options.ignoreCase)
        return text;
    // ASCII text, by far the most common, is folded here, where folding means lower case.
    if (foldPlainAscii(text.utf16(), text.size(), out))
        return QStringView(out, text.size());
    return foldByQt(m_exact, text);
}

QStringView KeyMaker::looseKey(QStringView text)
{
    return looseKey(text, roomIn(m_looseRoom, text.size()));
}

QStringView KeyMaker::looseKey(QStringView text, char16_t* out)
{
    // Plain ASCII keeps every character: its loose key is its exact key with both options.
    text = trimBlanks(text);
    if (foldPlainAscii(text.utf16(), text.size(), out))
        return QStringView(out, text.size());
    return looseKeyOfOther(text);
}

QStringView KeyMaker::looseKeyOfOther(QStringView text)
{
    m_loose.resize(text.size());
    QChar* out = m_loose.data();
    qsizetype kept = 0;
    qsizetype end = 0; // just past the last character that is not a blank
    bool ascii = true;
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (c > u' ' && c < 0x7f) {
            out[kept++] = QChar(foldedAscii(c));
            end = kept;
        } else if (isBlank(c)) {
            if (kept > 0)
                out[kept++] = QChar(c == u'\t' ? c : u' ');
        } else if (!isInvisible(c)) {
            ascii = false;
            out[kept++] = ch;
            end = kept;
        }
    }
    m_loose.resize(end);
    if (!ascii) // its ASCII is folded already, and folds to itself
        m_loose = std::move(m_loose).toCaseFolded();
    return m_loose;
}

} // namespace pq
