#pragma once

#include "platform/RowRuns.h"

#include <QList>
#include <QString>
#include <QStringView>

#include <cstddef>
#include <memory>
#include <span>
#include <vector>

namespace pq {

// One row's text, as a view of the characters a block of its store holds, and the row's
// check mark. Twelve bytes rather than sixteen: a pane of ten million rows holds 160 MB
// of them otherwise, which the system hands out afresh and zeroes a page at a time. Being
// packed, `data` may lie off its alignment: read it by value, never bind a reference to it.
#pragma pack(push, 4)
struct TextRef
{
    static constexpr qsizetype kLongest = (qsizetype(1) << 31) - 1;

    const char16_t* data = u"";
    quint32 size : 31 = 0;
    bool checked : 1 = false;

    QStringView view() const { return QStringView(data, size); }
};
#pragma pack(pop)
static_assert(sizeof(TextRef) == sizeof(void*) + sizeof(quint32));

// Characters that texts point into. A block never moves or shrinks: its string is made at
// its full capacity, and texts are written into it from `used` on.
struct TextBlock
{
    QString chars;
    qsizetype used = 0;
};

// Texts that share one block: the lines of a list file decoded in one go.
struct TextBatch
{
    // The batch's characters; texts are then added as spans of them.
    explicit TextBatch(QString chars);
    // Texts in a block that other batches share: one large text split a slice at a time.
    explicit TextBatch(std::shared_ptr<TextBlock> shared) : block(std::move(shared)) {}
    // Copies the texts into one block.
    static TextBatch of(const QList<QString>& texts);

    // Adds the text of `size` characters from `from` on. Throws AppError when it is too
    // long for a row.
    void addText(qsizetype from, qsizetype size);

    std::shared_ptr<TextBlock> block;
    std::vector<TextRef> texts;
};

// Memory of the row tables of stores let go of, kept a short while for the next large
// tables to be made in.
qsizetype spareRowTableBytes();
void releaseSpareRowTables();

// Which of a store's blocks holds a text, for sharing the block rather than copying the
// text (see TextStore::appendShared). It holds the blocks until it is indexed again.
class BlockLookup
{
public:
    void index(std::span<const std::shared_ptr<TextBlock>> blocks);
    // The block whose characters the text lies in; null for an empty text or none.
    const std::shared_ptr<TextBlock>* holding(const TextRef& text) const;

    static bool holds(const TextBlock& block, const TextRef& text);

private:
    std::vector<std::shared_ptr<TextBlock>> m_byAddress;
};

// The texts of one pane in order, and the blocks that hold their characters.
// A text added one at a time is copied into a block of the store's own, and a batch is
// taken over without copying. A text of another store's can share that store's block
// instead, but only as long as the texts shared from it use a good part of it: a pane never
// keeps alive much more of another pane's characters than it shows.
class TextStore
{
public:
    TextStore() = default;
    ~TextStore();
    // Two stores must not copy texts into the same block.
    TextStore(const TextStore&) = delete;
    TextStore& operator=(const TextStore&) = delete;

    qsizetype size() const { return static_cast<qsizetype>(m_rows.size()); }
    const TextRef& at(qsizetype row) const { return m_rows[static_cast<size_t>(row)]; }
    TextRef& at(qsizetype row) { return m_rows[static_cast<size_t>(row)]; }
    std::span<const TextRef> all() const { return m_rows; }

    // Throws AppError when the text is too long for a row.
    void append(QStringView text, bool checked);
    void append(TextBatch&& batch);
    // Appends a text that lies in `block`, another store's, sharing the block. Texts keep
    // sharing it while they come from it one after another; when they stop, at endSharing,
    // those that use less than a quarter of the block are copied after all, and the block
    // let go of: a view into it may not outlive that. Any other change ends the sharing
    // first.
    void appendShared(const TextRef& text, const std::shared_ptr<TextBlock>& block);
    bool sharesFrom(const TextBlock* block) const { return m_shared.block == block && block; }
    void endSharing();
    void reserve(qsizetype moreRows);
    // The reserved memory that the next `rows` rows appended will take, as far as the room
    // reaches; empty when there is none. Only for having it backed ahead of use (see
    // populatePages): the rows are not there yet.
    std::span<std::byte> roomForNextRows(qsizetype rows);
    // Moves the rows of the joined runs out, in order, onto `removed` when given. The
    // characters stay in their blocks, so rows taken out can be put back.
    void eraseRuns(std::span<const RowRun> runs, std::vector<TextRef>* removed = nullptr);
    // Puts rows taken out by eraseRuns back at the runs they held.
    void insertRuns(std::span<const RowRun> runs, std::vector<TextRef>&& rows);
    // Drops every row and frees the blocks no other store shares.
    void clear();

    // Every row and block, moved out without copying; the store is left empty.
    struct Contents
    {
        Contents() = default;
        Contents(std::vector<TextRef>&& rows, std::vector<std::shared_ptr<TextBlock>>&& blocks);
        Contents(Contents&&) noexcept = default;
        Contents& operator=(Contents&& other) noexcept;
        ~Contents();

        std::vector<TextRef> rows;
        std::vector<std::shared_ptr<TextBlock>> blocks;
        qsizetype bytes() const; // what holding them costs
    };
    Contents takeAll();
    // Puts contents that takeAll gave back in front of the rows held now.
    void putBack(Contents&& contents);
    // How many blocks the store holds; dropBlocksFrom frees those from `count` on, which
    // the caller knows no row uses any more.
    size_t blockCount() const { return m_blocks.size(); }
    std::span<const std::shared_ptr<TextBlock>> blocks() const { return m_blocks; }
    void dropBlocksFrom(size_t count);

    // Characters the store's blocks can hold, used or not.
    qsizetype heldCharacters() const;

private:
    TextBlock& blockWithRoomFor(qsizetype characters);
    void copyIntoOwnBlock(TextRef& row);

    // The block rows are being shared from, and since which row.
    struct Sharing
    {
        const TextBlock* block = nullptr;
        size_t firstRow = 0;
        size_t blockIndex = 0;
        qsizetype characters = 0;
    };
    Sharing m_shared;

    std::vector<TextRef> m_rows;
    std::vector<std::shared_ptr<TextBlock>> m_blocks;
    TextBlock* m_open = nullptr; // the block of this store's own that texts are copied into
};

} // namespace pq
