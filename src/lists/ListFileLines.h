#pragma once

#include "platform/TextStore.h"

#include <QByteArrayView>

namespace pq {

// How much of a list file is read in one go between two yields.
constexpr qsizetype kListFileBlockBytes = qsizetype(1) << 20;
// How many bytes of lines become items in one go between two yields.
constexpr qsizetype kListFileBatchBytes = qsizetype(1) << 18;

// How many line ends (CRs) the bytes hold; counted block by block as a file is read.
qsizetype countLineEnds(QByteArrayView bytes);
// How many items a whole list file makes, from its bytes and their count of line ends.
qsizetype countItems(QByteArrayView bytes, qsizetype lineEnds);

// Splits the bytes of a list file into items, a batch of whole lines at a time.
// A line ends at CR LF or at a lone CR; a lone LF stays inside the item. The last line
// counts without a line end, and a line end at the very end adds no empty item.
// Bytes are decoded as Windows-1252, so no byte is lost. The items of a batch share the
// batch's one decoded string.
class ListFileLines
{
public:
    explicit ListFileLines(QByteArrayView bytes) : m_bytes(bytes) {}

    bool atEnd() const { return m_pos >= m_bytes.size(); }
    // The items of the next lines: at least one, and further ones until at least
    // `batchBytes` bytes were taken (the line crossing that mark is taken whole).
    TextBatch nextBatch(qsizetype batchBytes = kListFileBatchBytes);

private:
    // Where the batch that starts at m_pos ends: after the first line end at or past the mark.
    qsizetype batchEnd(qsizetype batchBytes) const;

    QByteArrayView m_bytes;
    qsizetype m_pos = 0;
};

} // namespace pq
