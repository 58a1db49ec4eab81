#include "platform/TextStore.h"

#include "platform/AppError.h"
#include "platform/Memory.h"
#include "platform/SpareBlocks.h"
#include "platform/SpareShelf.h"

#include <algorithm>
#include <limits>

namespace pq {

namespace {

constexpr qsizetype kFirstBlockCharacters = 1024;
constexpr qsizetype kLargestBlockCharacters = qsizetype(1) << 18;

quint32 rowSize(qsizetype size)
{
    if (size > TextRef::kLongest)
        throw AppError(QStringLiteral("Out of memory"));
    return static_cast<quint32>(size);
}

const char16_t* charsOf(const TextBlock& block)
{
    return reinterpret_cast<const char16_t*>(block.chars.constData());
}

struct RowTableMeasure
{
    static qsizetype bytes(const std::vector<TextRef>& rows)
    {
        return qsizetype(rows.capacity() * sizeof(TextRef));
    }
    static bool mayKeep(const std::vector<TextRef>&) { return true; }
};
using RowTableShelf = SpareShelf<std::vector<TextRef>, RowTableMeasure>;

// Row tables smaller than this come and go through the heap, which reuses their memory.
constexpr qsizetype kSmallestKeptRowTable = qsizetype(4) << 20;

// The row tables of panes let go of: a pane of ten million rows takes 160 MB of them, which
// a list loaded again after clearing one finds ready instead of asking the system afresh.
// Room for the tables of three such panes, but no more than a twenty-fourth of the
// system's memory; each freed after three seconds unused. Never destroyed: stores that
// outlive everything else still give their rows back to it.
RowTableShelf& spareRowTables()
{
    static const auto* const shelf = new std::shared_ptr<RowTableShelf>(
        std::make_shared<RowTableShelf>(qsizetype(systemShareBytes(qint64(1) << 29, 24)), 3000));
    return **shelf;
}

void keepRowTable(std::vector<TextRef>&& rows) noexcept
{
    if (RowTableMeasure::bytes(rows) < kSmallestKeptRowTable)
        return;
    rows.clear();
    spareRowTables().keep(std::move(rows));
}

} // namespace

qsizetype spareRowTableBytes()
{
    return spareRowTables().spareBytesHeld();
}

void releaseSpareRowTables()
{
    spareRowTables().releaseAll();
}

TextBatch::TextBatch(QString chars) : block(std::make_shared<TextBlock>())
{
    block->used = chars.size();
    block->chars = std::move(chars);
}

TextBatch TextBatch::of(const QList<QString>& texts)
{
    qsizetype total = 0;
    for (const QString& text : texts)
        total += text.size();
    QString chars;
    chars.reserve(total);
    for (const QString& text : texts)
        chars.append(text);
    TextBatch batch(std::move(chars));
    batch.texts.reserve(static_cast<size_t>(texts.size()));
    qsizetype from = 0;
    for (const QString& text : texts) {
        batch.addText(from, text.size());
        from += text.size();
    }
    return batch;
}

void TextBatch::addText(qsizetype from, qsizetype size)
{
    TextRef text;
    text.size = rowSize(size);
    if (size > 0)
        text.data = charsOf(*block) + from;
    texts.push_back(text);
}

void BlockLookup::index(std::span<const std::shared_ptr<TextBlock>> blocks)
{
    m_byAddress.assign(blocks.begin(), blocks.end());
    std::sort(m_byAddress.begin(), m_byAddress.end(),
              [](const auto& a, const auto& b) { return std::less<>()(charsOf(*a), charsOf(*b)); });
}

bool BlockLookup::holds(const TextBlock& block, const TextRef& text)
{
    const char16_t* const chars = charsOf(block);
    const char16_t* const data = text.data; // a copy: no reference binds to a packed field
    return text.size > 0 && std::less_equal<>()(chars, data) &&
           std::less_equal<>()(data + text.size, chars + block.chars.size());
}

const std::shared_ptr<TextBlock>* BlockLookup::holding(const TextRef& text) const
{
    if (text.size == 0)
        return nullptr;
    const char16_t* const data = text.data;
    const auto after = std::upper_bound(
        m_byAddress.begin(), m_byAddress.end(), data,
        [](const char16_t* at, const auto& block) { return std::less<>()(at, charsOf(*block)); });
    if (after == m_byAddress.begin())
        return nullptr;
    const std::shared_ptr<TextBlock>& block = *std::prev(after);
    return holds(*block, text) ? &block : nullptr;
}

void TextStore::append(QStringView text, bool checked)
{
    endSharing();
    TextRef row;
    row.size = rowSize(text.size());
    row.checked = checked;
    if (!text.isEmpty()) {
        row.data = reinterpret_cast<const char16_t*>(text.utf16());
        copyIntoOwnBlock(row);
    }
    m_rows.push_back(row);
}

void TextStore::copyIntoOwnBlock(TextRef& row)
{
    TextBlock& block = blockWithRoomFor(row.size);
    char16_t* const at = reinterpret_cast<char16_t*>(block.chars.data()) + block.used;
    std::copy(row.data, row.data + row.size, at);
    block.used += row.size;
    row.data = at;
}

void TextStore::appendShared(const TextRef& text, const std::shared_ptr<TextBlock>& block)
{
    Q_ASSERT(BlockLookup::holds(*block, text));
    if (!sharesFrom(block.get())) {
        endSharing();
        m_blocks.push_back(block);
        m_shared = {block.get(), m_rows.size(), m_blocks.size() - 1, 0};
    }
    m_rows.push_back(text);
    m_shared.characters += text.size;
}

void TextStore::endSharing()
{
    if (!m_shared.block)
        return;
    const Sharing shared = std::exchange(m_shared, Sharing());
    if (shared.characters >= shared.block->chars.size() / 4)
        return;
    try {
        for (size_t row = shared.firstRow; row < m_rows.size(); ++row)
            copyIntoOwnBlock(m_rows[row]);
    } catch (const std::bad_alloc&) {
        return; // the rows not copied still share the block, which stays
    }
    m_blocks.erase(m_blocks.begin() + std::ptrdiff_t(shared.blockIndex));
}

void TextStore::append(TextBatch&& batch)
{
    endSharing();
    // The block is held before any row points into it, and let go again when the rows
    // cannot be added, so no row ever points into freed text. Slices of one shared block
    // come one after another; the block is held once.
    const bool newBlock = m_blocks.empty() || m_blocks.back() != batch.block;
    if (newBlock)
        m_blocks.push_back(batch.block);
    try {
        if (m_rows.empty() && m_rows.capacity() <= batch.texts.size())
            m_rows = std::move(batch.texts);
        else
            m_rows.insert(m_rows.end(), batch.texts.begin(), batch.texts.end());
    } catch (...) {
        if (newBlock)
            m_blocks.pop_back();
        throw;
    }
}

TextStore::~TextStore()
{
    keepRowTable(std::move(m_rows));
}

void TextStore::reserve(qsizetype moreRows)
{
    const size_t rows = m_rows.size() + static_cast<size_t>(moreRows);
    if (rows <= m_rows.capacity())
        return;
    const auto bytes = qsizetype(rows * sizeof(TextRef));
    if (m_rows.empty() && bytes >= kSmallestKeptRowTable) {
        if (std::vector<TextRef> spare = spareRowTables().take(bytes); spare.capacity() >= rows) {
            m_rows = std::move(spare);
            return;
        }
    }
    m_rows.reserve(rows);
}

std::span<std::byte> TextStore::roomForNextRows(qsizetype rows)
{
    const size_t room =
        std::min(m_rows.capacity() - m_rows.size(), size_t(std::max<qsizetype>(rows, 0)));
    if (room == 0)
        return {};
    auto* const next = reinterpret_cast<std::byte*>(m_rows.data() + m_rows.size());
    return {next, room * sizeof(TextRef)};
}

void TextStore::eraseRuns(std::span<const RowRun> runs, std::vector<TextRef>* removed)
{
    endSharing();
    pq::eraseRuns(m_rows, runs, removed);
}

void TextStore::insertRuns(std::span<const RowRun> runs, std::vector<TextRef>&& rows)
{
    endSharing();
    pq::insertRuns(m_rows, runs, std::move(rows));
}

qsizetype TextStore::Contents::bytes() const
{
    qsizetype total = qsizetype(rows.size() * sizeof(TextRef));
    for (const auto& block : blocks)
        total += block->chars.size() * qsizetype(sizeof(QChar));
    return total;
}

TextStore::Contents::Contents(std::vector<TextRef>&& rows,
                              std::vector<std::shared_ptr<TextBlock>>&& blocks)
    : rows(std::move(rows)), blocks(std::move(blocks))
{
}

TextStore::Contents::~Contents()
{
    keepRowTable(std::move(rows));
}

TextStore::Contents& TextStore::Contents::operator=(Contents&& other) noexcept
{
    if (this != &other) {
        keepRowTable(std::move(rows));
        rows = std::move(other.rows);
        blocks = std::move(other.blocks);
    }
    return *this;
}

TextStore::Contents TextStore::takeAll()
{
    endSharing();
    Contents contents(std::move(m_rows), std::move(m_blocks));
    m_rows = {};
    m_blocks = {};
    m_open = nullptr;
    return contents;
}

void TextStore::putBack(Contents&& contents)
{
    endSharing();
    const RowRun front{0, static_cast<int>(contents.rows.size())};
    if (m_rows.empty())
        m_rows = std::move(contents.rows);
    else
        insertRuns({&front, 1}, std::move(contents.rows));
    m_blocks.insert(m_blocks.end(), std::make_move_iterator(contents.blocks.begin()),
                    std::make_move_iterator(contents.blocks.end()));
}

void TextStore::dropBlocksFrom(size_t count)
{
    endSharing();
    if (count >= m_blocks.size())
        return;
    for (size_t i = count; i < m_blocks.size(); ++i) {
        if (m_blocks[i].get() == m_open)
            m_open = nullptr;
    }
    m_blocks.resize(count);
}

void TextStore::clear()
{
    m_shared = {}; // its rows go with the others
    keepRowTable(std::move(m_rows));
    m_rows = {};
    m_blocks.clear();
    m_blocks.shrink_to_fit();
    m_open = nullptr;
}

qsizetype TextStore::heldCharacters() const
{
    qsizetype held = 0;
    for (const auto& block : m_blocks)
        held += block->chars.size();
    return held;
}

TextBlock& TextStore::blockWithRoomFor(qsizetype characters)
{
    if (m_open && m_open->chars.size() - m_open->used >= characters)
        return *m_open;
    const qsizetype previous = m_open ? m_open->chars.size() : kFirstBlockCharacters / 2;
    const qsizetype capacity =
        std::max(characters, std::min(previous * 2, kLargestBlockCharacters));
    auto block = SpareBlocks::shared().make(capacity);
    m_open = block.get();
    m_blocks.push_back(std::move(block));
    return *m_open;
}

} // namespace pq
