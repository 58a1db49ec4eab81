#include "match/TextKeys.h"

#include <algorithm>

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

// Folds `text` into `buffer`, reusing its room. ASCII text, by far the most common, is
// folded here, where folding means lower case; other text is folded in place by Qt.
QStringView foldInto(QString& buffer, QStringView text)
{
    buffer.resize(text.size());
    QChar* out = buffer.data();
    for (const QChar ch : text) {
        if (ch.unicode() >= 0x80) {
            std::copy(text.begin(), text.end(), buffer.begin());
            buffer = std::move(buffer).toCaseFolded();
            return buffer;
        }
        *out++ = QChar(foldedAscii(ch.unicode()));
    }
    return buffer;
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
    if (options.ignoreBlanks)
        text = trimBlanks(text);
    return options.ignoreCase ? foldInto(m_exact, text) : text;
}

QStringView KeyMaker::looseKey(QStringView text)
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
