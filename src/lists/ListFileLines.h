#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>

namespace pq {

// How much of a list file is read, or turned into items, between two yields.
constexpr qsizetype kListFileBlockBytes = qsizetype(1) << 20;

// Splits the bytes of a list file into items, a batch of whole lines at a time.
// A line ends at CR LF or at a lone CR; a lone LF stays inside the item. The last line
// counts without a line end, and a line end at the very end adds no empty item.
// Bytes are decoded as Windows-1252, so no byte is lost.
class ListFileLines
{
public:
    explicit ListFileLines(QByteArrayView bytes) : m_bytes(bytes) {}

    bool atEnd() const { return m_pos >= m_bytes.size(); }
    // The items of the next lines: at least one, and further ones until at least
    // `batchBytes` bytes were taken (the line crossing that mark is taken whole).
    QList<QString> nextBatch(qsizetype batchBytes = kListFileBlockBytes);

private:
    QByteArrayView m_bytes;
    qsizetype m_pos = 0;
};

} // namespace pq
