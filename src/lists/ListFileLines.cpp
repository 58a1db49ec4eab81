#include "lists/ListFileLines.h"

#include "platform/Windows1252.h"

#include <algorithm>
#include <cstring>

namespace pq {

QList<QString> ListFileLines::nextBatch(qsizetype batchBytes)
{
    const qsizetype end = m_bytes.size();
    const qsizetype stopAt = std::min(end, m_pos + std::max<qsizetype>(batchBytes, 1));
    const char* data = m_bytes.data();
    QList<QString> items;
    while (m_pos < end) {
        const void* cr = std::memchr(data + m_pos, '\r', static_cast<size_t>(end - m_pos));
        const qsizetype lineEnd = cr ? static_cast<const char*>(cr) - data : end;
        items.append(decodeWindows1252(m_bytes.sliced(m_pos, lineEnd - m_pos)));
        m_pos = lineEnd;
        if (m_pos < end) {
            ++m_pos; // the CR
            if (m_pos < end && data[m_pos] == '\n')
                ++m_pos;
        }
        if (m_pos >= stopAt)
            break;
    }
    return items;
}

} // namespace pq
