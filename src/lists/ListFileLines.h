#pragma once

#include "lists/ListFileFormat.h"
#include "platform/HelperThread.h"
#include "platform/TextStore.h"

#include <QByteArrayView>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace pq {

// How much of a list file is read in one go between two yields.
constexpr qsizetype kListFileBlockBytes = qsizetype(1) << 20;
// How many bytes of lines become items in one go between two yields.
constexpr qsizetype kListFileBatchBytes = qsizetype(1) << 18;
// How many characters the batches of a large file decode into one block: a pane of millions
// of items then holds a few hundred blocks, which the spare blocks can hand on whole.
constexpr qsizetype kListFileBlockCharacters = qsizetype(1) << 22;
// A line longer than this is decoded a piece at a time, a yield between two pieces.
constexpr qsizetype kListFileLongLineBytes = qsizetype(1) << 22;

// Places in a file that could not be read as text and became U+FFFD.
struct DamagedText
{
    qsizetype places = 0;
    qsizetype firstLine = 0; // 1-based; 0 when there are none
};

// Splits the bytes of a list file into items, a batch of whole lines at a time, decoded
// as its format says. A line ends at CR LF or at a lone CR, a lone LF staying inside the
// item; in a Unix text file a line ends at LF. The last line counts without a line end,
// and a line end at the very end adds no empty item. The items of a batch share one
// decoded string with the batches before and after it.
//
// A line longer than kListFileLongLineBytes comes in several calls: each decodes a piece
// of it and returns an empty batch, until the last returns the line.
class ListFileLines
{
public:
    // With `holding`, the block whose characters hold `bytes`: UTF-16 in this processor's
    // byte order is then taken as text where it lies rather than copied.
    ListFileLines(QByteArrayView bytes, const ListFileFormat& format,
                  std::shared_ptr<TextBlock> holding = {});

    bool atEnd() const { return m_pos >= m_bytes.size() && !m_longLine; }
    TextBatch nextBatch(qsizetype batchBytes = kListFileBatchBytes);
    // The next batch and the one after it, which `helper` decodes meanwhile; one batch
    // when a long line or the end comes first. Runs `whileWaiting` while it waits for the
    // helper (see HelperThread::waitWhile).
    std::vector<TextBatch> nextBatches(HelperThread& helper,
                                       const std::function<void()>& whileWaiting,
                                       qsizetype batchBytes = kListFileBatchBytes);
    const DamagedText& damage() const { return m_damage; }
    // Lines taken so far.
    qsizetype linesTaken() const { return m_lines; }

    // Where the bytes of a file read so far may be cut so that every line before the cut
    // is whole, its line end too: a CR at the very end may yet be followed by its LF.
    // 0 when there is no such place.
    static qsizetype afterLastWholeLine(QByteArrayView bytes, const ListFileFormat& format);

private:
    // Whole lines cut off to be decoded into room of their own, on either thread, and
    // what decoding them found. Line numbers are the stretch's own, from 0.
    struct Stretch
    {
        qsizetype from = 0;
        qsizetype stop = 0;
        bool unitCutOff = false; // the file ends inside a code unit after `stop`
        bool inPlace = false;    // the bytes are the text, at `out`
        QChar* out = nullptr;
        qsizetype room = 0;
        TextBatch batch{std::shared_ptr<TextBlock>()};
        qsizetype size = 0;
        qsizetype lines = 0;
        qsizetype damaged = 0;
        qsizetype damagedLine = -1;
    };

    std::optional<Stretch> cut(qsizetype batchBytes);
    void decode(Stretch& stretch) const;
    TextBatch take(Stretch& stretch);

    bool isLineEnd(qsizetype at) const;
    qsizetype afterLineEnd(qsizetype at) const;
    qsizetype lastLineEndBefore(qsizetype from, qsizetype end) const;
    qsizetype nextLineEndFrom(qsizetype from) const;
    qsizetype pieceBoundary(qsizetype from, qsizetype piece) const;

    qsizetype roomFor(qsizetype bytes) const;
    qsizetype decodeInto(qsizetype from, qsizetype end, QChar* out, qsizetype& damaged) const;
    TextBlock& blockWithRoom(qsizetype characters);
    void split(Stretch& stretch) const;
    TextBatch continueLongLine();
    void noteDamage(qsizetype places, qsizetype line);

    QByteArrayView m_bytes;
    ListFileFormat m_format;
    qsizetype m_unit = 1;
    qsizetype m_end = 0; // the end of whole code units
    qsizetype m_pos = 0;
    qsizetype m_lines = 0;
    DamagedText m_damage;
    // The block that batches decode into, one after another.
    std::shared_ptr<TextBlock> m_block;
    // The block that holds the bytes, when they are the text itself.
    std::shared_ptr<TextBlock> m_inPlace;

    // The long line being decoded: its characters so far and where its bytes stand.
    bool m_longLine = false;
    QString m_longChars;
    qsizetype m_longWritten = 0;
    qsizetype m_longEnd = 0;  // end of the line's own bytes
    qsizetype m_longNext = 0; // where the next line starts
};

} // namespace pq
