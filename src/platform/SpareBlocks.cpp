#include "platform/SpareBlocks.h"

#include "platform/Memory.h"
#include "platform/SpareShelf.h"
#include "platform/TextStore.h"

#include <algorithm>

namespace pq {

struct SpareBlocks::Measure
{
    static qsizetype bytes(const QString& chars)
    {
        return chars.capacity() * qsizetype(sizeof(QChar));
    }
    static bool mayKeep(const QString& chars) { return chars.isDetached(); }
};

SpareBlocks::SpareBlocks(qsizetype roomCharacters, int idleMilliseconds)
    : m_shelf(std::make_shared<Shelf>(roomCharacters * qsizetype(sizeof(QChar)), idleMilliseconds))
{
}

SpareBlocks::~SpareBlocks() = default;

// New characters; when the memory for them cannot be had, the spares are given back to
// the system first, then the memory asked for again.
QString SpareBlocks::madeAfresh(qsizetype characters)
{
    try {
        return QString(characters, Qt::Uninitialized);
    } catch (const std::bad_alloc&) {
        if (spareCharacters() == 0)
            throw;
    }
    releaseAll();
    return QString(characters, Qt::Uninitialized);
}

std::shared_ptr<TextBlock> SpareBlocks::make(qsizetype characters)
{
    if (characters < kSmallestKept) {
        auto block = std::make_shared<TextBlock>();
        block->chars = QString(characters, Qt::Uninitialized);
        return block;
    }
    QString chars = m_shelf->take(characters * qsizetype(sizeof(QChar)));
    if (chars.isNull())
        chars = madeAfresh(characters);
    else
        chars.resize(characters); // within its capacity: the memory stays where it is
    const auto giveBack = [ref = std::weak_ptr<Shelf>(m_shelf)](TextBlock* block) {
        std::unique_ptr<TextBlock> owned(block);
        if (const auto shelf = ref.lock())
            shelf->keep(std::move(owned->chars));
    };
    std::shared_ptr<TextBlock> block(new TextBlock, giveBack);
    block->chars = std::move(chars);
    return block;
}

qsizetype SpareBlocks::spareCharacters() const
{
    return m_shelf->spareBytesHeld() / qsizetype(sizeof(QChar));
}

void SpareBlocks::releaseAll()
{
    m_shelf->releaseAll();
}

SpareBlocks& SpareBlocks::shared()
{
    // Up to 1.5 GiB of text, enough for both lists of ten million short lines to be loaded
    // again into the memory they held, but no more than an eighth of the system's memory;
    // each block freed after three seconds unused. Never destroyed: blocks of panes that
    // outlive everything else still give themselves back to it.
    static SpareBlocks* const spares =
        new SpareBlocks(qsizetype(systemShareBytes(qint64(3) << 29, 8) / 2), 3000);
    return *spares;
}

SpareBlocks& SpareBlocks::forFileBytes()
{
    // Room for the bytes of one file of ten million lines, but no more than a twenty-fourth
    // of the system's memory; each freed after three seconds unused.
    static SpareBlocks* const spares =
        new SpareBlocks(qsizetype(systemShareBytes(qint64(1) << 29, 24) / 2), 3000);
    return *spares;
}

} // namespace pq
