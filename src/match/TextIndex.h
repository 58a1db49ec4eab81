#pragma once

#include "platform/HelperThread.h"
#include "platform/Memory.h"
#include "platform/TextStore.h"

#include <QStringView>

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

namespace pq {

// A text's hash. Its high half chooses where in a table the text goes, and its low half is
// what a slot keeps to tell texts apart (see TextIndex::Slot).
using TextHash = uint64_t;

// How many texts an index takes in between two pauses of its build.
constexpr size_t kTextsBetweenPauses = 4096;

// Characters of texts made on the way (keys), kept in blocks that never move.
class TextArena
{
public:
    // A copy of the text that lives as long as the arena, or until `clear` or `rewind`.
    QStringView keep(QStringView text);
    // `key` itself when it is a part of `text`, else a copy of it.
    QStringView keepUnlessPartOf(QStringView key, QStringView text);
    // Room for a text of up to `size` characters, written in place; `keepWritten` then
    // keeps the first characters of it.
    char16_t* roomFor(size_t size);
    QStringView keepWritten(size_t size);
    void clear();
    // Forgets every text kept, but keeps the room of the first block for new ones.
    void rewind();

private:
    std::vector<std::unique_ptr<char16_t[]>> m_blocks;
    size_t m_firstBlockSize = 0;
    char16_t* m_free = nullptr;
    size_t m_room = 0;
};

// Finds the first position (1-based) of a text in a list of texts, by exact comparison or
// by a key made of each text. An open-addressing table of positions: it keeps no copies of
// the texts or their keys, only refers to the texts it was built from, which must stay
// unchanged while the index is used; a key is made again whenever it is compared.
// In front of the table, a sketch of the hashes put in, a sixteenth of its size, tells
// most keys that are not there without a look at the table: for lists of millions, whose
// table no cache holds, that spares a fetch from memory for most texts looked up.
class TextIndex
{
public:
    // Makes the key of a text: a view of the text, or of a buffer of the function's own,
    // valid until its next call.
    using KeyOf = std::function<QStringView(QStringView text)>;

    // Builds the index of `texts`, by their keys when `keyOf` is given; calls `pause` now
    // and then so a caller can yield. Returns false when `pause` returned false: the texts
    // changed and the index is empty. With a `helper`, the keys of the next stretch of texts
    // are made and hashed on it while this thread puts in the current one; it is never busy
    // while `pause` runs.
    bool build(std::span<const TextRef> texts, const std::function<bool()>& pause = {});
    bool build(std::span<const TextRef> texts, const KeyOf& keyOf,
               const std::function<bool()>& pause = {}, HelperThread* helper = nullptr);
    // The same, for the texts at `positions` (ascending) alone; the index still finds them
    // by their positions in `texts`. With `sharing`, adds to it the positions of the texts
    // whose key another text has too, in no particular order and some more than once.
    struct Subset
    {
        const std::vector<int>* positions = nullptr; // all texts when none
        std::vector<int>* sharing = nullptr;
    };
    bool build(std::span<const TextRef> texts, const KeyOf& keyOf,
               const std::function<bool()>& pause, HelperThread* helper, Subset subset);

    // The first position of a text whose key is `key`, or 0 when none has it.
    int firstPosition(QStringView key) const { return firstPosition(key, hashOf(key)); }
    // The same with the key's hash made beforehand.
    int firstPosition(QStringView key, TextHash hash) const { return find(key, hash).position; }
    struct Found
    {
        int position = 0;   // the first text with the key; 0: none has it
        bool alone = false; // no other text has it
    };
    Found find(QStringView key, TextHash hash) const { return find(key, hash, m_candidateKeyOf); }
    // The same, making the keys of the texts compared with by `candidateKeyOf`: a copy of
    // `keyOf()` with buffers of its own lets several threads look keys up at once.
    Found find(QStringView key, TextHash hash, const KeyOf& candidateKeyOf) const;
    const KeyOf& keyOf() const { return m_keyOf; }
    // The text at a position, as the index was built from it.
    QStringView textAt(int position) const { return m_texts[size_t(position - 1)].view(); }
    static TextHash hashOf(QStringView text);

    // Looking many texts up one after the other, in stages over all of them, so that each
    // stage waits for memory once rather than once per text: `prefetch` starts fetching
    // what tells whether a hash may be there, and `prefetchSlot`, once that is fetched,
    // where it would be; `probe` then finds the slot where comparing keys begins (none
    // when the hash is not there); `prefetchRow` and, once that is fetched, `prefetchText`
    // start fetching what the comparison reads; `findFrom` finishes the lookup.
    void prefetch(TextHash hash) const;
    void prefetchSlot(TextHash hash) const;
    size_t probe(TextHash hash) const;
    void prefetchRow(size_t slot) const;
    void prefetchText(size_t slot) const;
    Found findFrom(size_t slot, QStringView key, TextHash hash, const KeyOf& candidateKeyOf) const;

    struct Slot
    {
        // Fingerprints leave the top bit clear, for the index to mark a key that several
        // texts have.
        static constexpr uint32_t kShared = 0x80000000u;

        uint32_t bits = 0;    // the fingerprint (the low 31 bits of the text's hash), kShared
        int32_t position = 0; // 0: empty slot

        uint32_t fingerprint() const { return bits & ~kShared; }
        bool shared() const { return (bits & kShared) != 0; }
    };

private:
    void reset();
    // Puts in the texts taken from the `first`th on, whose hashes are given.
    void putIn(size_t first, std::span<const TextHash> hashes, Subset subset);
    // The key of the text at a position, and of a text being put in.
    QStringView keyAt(int position) const;
    QStringView keyOfText(QStringView text) const;
    // False when no text put in has this hash; true when one may have.
    bool mayHold(TextHash hash) const;
    // Marks the hashes of texts put in.
    void sketch(std::span<const TextHash> hashes);

    std::span<const TextRef> m_texts;
    KeyOf m_keyOf;
    mutable KeyOf m_candidateKeyOf; // a copy, for the texts a key is compared with
    ZeroedArray<Slot> m_slots;
    ZeroedArray<uint64_t> m_sketch; // two bits of one word for each hash put in
};

// A set of texts that grows one text at a time; it keeps copies of them.
class TextSet
{
public:
    // Adds the text; false when the set held it already.
    bool insert(QStringView text) { return insert(text, TextIndex::hashOf(text)); }
    bool insert(QStringView text, TextHash hash);
    // Starts fetching where a text of this hash is inserted.
    void prefetch(TextHash hash) const;
    // Room for `count` texts in all, had from the system a slice at a time by threads of
    // its own, with `pause` called meanwhile, so that the set need not grow, all at once,
    // while it fills. Throws std::bad_alloc when the room cannot be had.
    void reserve(size_t count, const std::function<void()>& pause);

private:
    void grow();
    void growTo(size_t capacity, const std::function<bool()>& pause);

    std::vector<TextRef> m_texts;
    TextArena m_chars;
    ZeroedArray<TextIndex::Slot> m_slots;
};

} // namespace pq
