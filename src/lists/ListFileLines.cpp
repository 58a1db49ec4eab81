#include "lists/ListFileLines.h"

#include "platform/Windows1252.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace pq {

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

TextBatch ListFileLines::nextBatch(qsizetype batchBytes)
{
    const qsizetype stop = batchEnd(batchBytes);
    TextBatch batch(decodeWindows1252(m_bytes.sliced(m_pos, stop - m_pos)));
    m_pos = stop;

    const char16_t* chars = reinterpret_cast<const char16_t*>(batch.block->chars.constData());
    const qsizetype size = batch.block->chars.size();
    qsizetype from = 0;
    while (from < size) {
        const char16_t* cr =
            std::char_traits<char16_t>::find(chars + from, size_t(size - from), u'\r');
        const qsizetype lineEnd = cr ? cr - chars : size;
        batch.addText(from, lineEnd - from);
        from = lineEnd + 1;
        if (cr && from < size && chars[from] == u'\n')
            ++from;
    }
    return batch;
}

} // namespace pq
