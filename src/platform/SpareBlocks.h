#pragma once

#include <QString>

#include <memory>

namespace pq {

struct TextBlock;
template <typename Item, typename Measure> class SpareShelf;

// Large text blocks let go of, kept a short while for the next blocks to be made in.
// Memory the system hands out afresh costs a page fault and a zeroed page every few
// kilobytes, which for lists of millions of lines is a good part of loading them; memory
// the program touched before costs nothing. Loading a list again after clearing one, or
// comparing again after clearing the Results, then finds its memory ready. Each spare is
// freed once it has lain unused a few seconds, and spares never hold more than the room.
class SpareBlocks
{
public:
    SpareBlocks(qsizetype roomCharacters, int idleMilliseconds);
    ~SpareBlocks();
    SpareBlocks(const SpareBlocks&) = delete;
    SpareBlocks& operator=(const SpareBlocks&) = delete;

    // A block of exactly `characters` characters, nothing used yet: a spare's memory when
    // one is large enough and not twice as large. Blocks too small to be worth keeping are
    // made and freed as usual. Throws std::bad_alloc when the memory cannot be had.
    std::shared_ptr<TextBlock> make(qsizetype characters);

    qsizetype spareCharacters() const;
    void releaseAll();

    // The program's spares, for every pane and list file.
    static SpareBlocks& shared();
    // Spares for the bytes of large files as they are read, kept apart so as not to crowd
    // the text blocks out of theirs: the next file read, often the other list, then finds
    // the memory the last one was read into.
    static SpareBlocks& forFileBytes();

    // Blocks smaller than this are not kept.
    static constexpr qsizetype kSmallestKept = qsizetype(1) << 16;

private:
    QString madeAfresh(qsizetype characters);

    struct Measure;
    using Shelf = SpareShelf<QString, Measure>;
    std::shared_ptr<Shelf> m_shelf;
};

} // namespace pq
