#include "lists/ListFileLines.h"

#include "platform/Windows1252.h"

#include <algorithm>
#include <cstring>
#include <string>

using namespace Qt::StringLiterals;

namespace pq {

namespace {

// `length` characters of `block` from `from` on, sharing the block's storage. QString has
// no public call for this; its Qt 6 data pointer (header, start, size) expresses it directly.
QString sharedPart(const QString& block, qsizetype from, qsizetype length)
{
    if (length == 0)
        return u""_s;
    QString::DataPointer part = block.data_ptr(); // one more reference to the block
    part.setBegin(part.data() + from);
    part.size = length;
    return QString(std::move(part));
}

} // namespace

qsizetype countLineEnds(QByteArrayView bytes)
{
    qsizetype count = 0;
    const char* at = bytes.data();
    const char* const end = at + bytes.size();
    while ((at = static_cast<const char*>(std::memchr(at, '\r', static_cast<size_t>(end - at))))) {
        ++count;
        ++at;
    }
    return count;
}

qsizetype countItems(QByteArrayView bytes, qsizetype lineEnds)
{
    // Every line end ends an item; so does the end of the file, unless a line end came last.
    const bool lineEndLast = bytes.endsWith('\r') || bytes.endsWith("\r\n");
    return bytes.isEmpty() || lineEndLast ? lineEnds : lineEnds + 1;
}

qsizetype ListFileLines::batchEnd(qsizetype batchBytes) const
{
    const qsizetype end = m_bytes.size();
    const qsizetype mark = std::min(end, m_pos + std::max<qsizetype>(batchBytes, 1)) - 1;
    const char* data = m_bytes.data();
    const void* cr = std::memchr(data + mark, '\r', static_cast<size_t>(end - mark));
    if (!cr)
        return end;
    const qsizetype afterCr = static_cast<const char*>(cr) - data + 1;
    return afterCr < end && data[afterCr] == '\n' ? afterCr + 1 : afterCr;
}

QList<QString> ListFileLines::nextBatch(qsizetype batchBytes)
{
    const qsizetype stop = batchEnd(batchBytes);
    QString block = decodeWindows1252(m_bytes.sliced(m_pos, stop - m_pos));
    m_pos = stop;

    // Windows-1252 has one byte per character, so a CR byte is a CR character. Each line
    // end becomes the NUL that ends the item before it; taken before any item shares the
    // block, this pointer writes only past the items made so far.
    char16_t* chars = reinterpret_cast<char16_t*>(block.data());
    const qsizetype size = block.size();
    QList<QString> items;
    qsizetype from = 0;
    while (from < size) {
        const char16_t* cr =
            std::char_traits<char16_t>::find(chars + from, size_t(size - from), u'\r');
        const qsizetype lineEnd = cr ? cr - chars : size;
        if (cr)
            chars[lineEnd] = u'\0';
        items.append(sharedPart(block, from, lineEnd - from));
        from = lineEnd + 1;
        if (cr && from < size && chars[from] == u'\n')
            ++from;
    }
    return items;
}

} // namespace pq
