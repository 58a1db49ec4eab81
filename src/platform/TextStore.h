#pragma once

#include <QList>
#include <QString>
#include <QStringView>

#include <memory>
#include <span>
#include <vector>

namespace pq {

// One row's text, as a view of the characters a block of its store holds, and the row's
// check mark.
struct TextRef
{
    const char16_t* data = u"";
    quint32 size = 0;
    bool checked = false;

    QStringView view() const { return QStringView(data, size); }
};

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
    // Copies the texts into one block.
    static TextBatch of(const QList<QString>& texts);

    // Adds the text of `size` characters from `from` on. Throws AppError when it is too
    // long for a row.
    void addText(qsizetype from, qsizetype size);

    std::shared_ptr<TextBlock> block;
    std::vector<TextRef> texts;
};

// The texts of one pane in order, and the blocks that hold their characters.
// A text added one at a time is copied into a block of the store's own, so a pane never
// keeps another pane's characters alive; a batch is taken over without copying.
class TextStore
{
public:
    TextStore() = default;
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
    void reserve(qsizetype moreRows);
    void erase(qsizetype row, qsizetype rows = 1);
    // Drops every row and frees the blocks no other store shares.
    void clear();

    // Characters the store's blocks can hold, used or not.
    qsizetype heldCharacters() const;

private:
    TextBlock& blockWithRoomFor(qsizetype characters);

    std::vector<TextRef> m_rows;
    std::vector<std::shared_ptr<TextBlock>> m_blocks;
    TextBlock* m_open = nullptr; // the block of this store's own that texts are copied into
};

} // namespace pq
