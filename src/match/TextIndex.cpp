#include "match/TextIndex.h"

#include <QScopeGuard>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstring>
#include <thread>

namespace pq {

namespace {

using Slot = TextIndex::Slot;

constexpr size_t kArenaBlockCharacters = size_t(1) << 18;

// The slot where the search for a hash starts: its high half scaled onto the table, so that
// a table of any size has every slot used and its memory grows with the texts, not by
// doubling.
size_t homeSlot(TextHash hash, size_t tableSize)
{
    return size_t(((hash >> 32) * tableSize) >> 32);
}

// What a slot keeps of a hash to tell texts apart: its low half but the top bit. Texts are
// compared only when this and their home slot agree, which the high half chose: among ten
// million texts some 23,000 pairs share 31 bits, but hardly any share those and a slot.
uint32_t fingerprintOf(TextHash hash)
{
    static_assert(Slot::kShared == 0x80000000u, "fingerprints have 31 bits");
    return uint32_t(hash) & ~Slot::kShared;
}

size_t nextSlot(size_t at, size_t tableSize)
{
    return at + 1 == tableSize ? 0 : at + 1;
}

// What probe gives for a hash that no text has.
constexpr size_t kAbsent = ~size_t(0);

// The sketch of a table's hashes: ten bits for each text, in words of which each hash
// marks two bits of one. A key that is not there finds both its bits set about one time
// in 27 (for hashes drawn at random), and only then is the table looked at.
size_t sketchWords(size_t texts)
{
    return std::max<size_t>(1, texts * 10 / 64);
}

size_t sketchWord(TextHash hash, size_t words)
{
    return homeSlot(hash, words);
}

uint64_t sketchBits(TextHash hash)
{
    return (uint64_t(1) << (hash & 63)) | (uint64_t(1) << ((hash >> 6) & 63));
}

// From `at` on, the slot with this fingerprint whose text `isSought`, or the empty slot
// where it would go.
template <typename IsSought>
size_t slotFrom(const ZeroedArray<Slot>& table, size_t at, uint32_t fingerprint, IsSought isSought)
{
    while (true) {
        const Slot& slot = table[at];
        if (slot.position == 0 || (slot.fingerprint() == fingerprint && isSought(slot.position)))
            return at;
        at = nextSlot(at, table.size());
    }
}

// A set keeps nothing of a hash but its fingerprint, and finds its slots again by it when
// it grows: its slots are chosen by the fingerprint alone.
size_t setHomeSlot(uint32_t fingerprint, size_t tableSize)
{
    return size_t((uint64_t(fingerprint) * tableSize) >> 31);
}

template <typename IsSought>
size_t slotOf(const ZeroedArray<Slot>& table, TextHash hash, IsSought isSought)
{
    return slotFrom(table, homeSlot(hash, table.size()), fingerprintOf(hash), isSought);
}

// The word of type `Word` at `at`, widened.
template <typename Word> uint64_t wordAt(const unsigned char* at)
{
    Word word;
    std::memcpy(&word, at, sizeof word);
    return word;
}

// The product of two words, its high half folded onto its low half.
uint64_t foldedProduct(uint64_t a, uint64_t b)
{
#if defined(__SIZEOF_INT128__)
    __extension__ using Wide = unsigned __int128;
    const Wide product = Wide(a) * b;
    return uint64_t(product) ^ uint64_t(product >> 64);
#else
    const uint64_t aLow = a & 0xffffffffu, aHigh = a >> 32;
    const uint64_t bLow = b & 0xffffffffu, bHigh = b >> 32;
    const uint64_t lowLow = aLow * bLow, lowHigh = aLow * bHigh;
    const uint64_t highLow = aHigh * bLow, highHigh = aHigh * bHigh;
    const uint64_t middle = (lowLow >> 32) + (lowHigh & 0xffffffffu) + (highLow & 0xffffffffu);
    const uint64_t low = (middle << 32) | (lowLow & 0xffffffffu);
    const uint64_t high = highHigh + (lowHigh >> 32) + (highLow >> 32) + (middle >> 32);
    return low ^ high;
#endif
}

// A table size with room for `count` texts at most half full, in whole cache lines.
size_t capacityFor(size_t count)
{
    constexpr size_t kSlotsPerLine = 64 / sizeof(Slot);
    return std::max<size_t>(16, (count * 2 + kSlotsPerLine - 1) / kSlotsPerLine * kSlotsPerLine);
}

bool isPartOf(QStringView part, QStringView text)
{
    return part.isEmpty() ||
           (part.data() >= text.data() && part.data() + part.size() <= text.data() + text.size());
}

TextRef refTo(QStringView text)
{
    TextRef ref;
    ref.size = static_cast<quint32>(text.size());
    if (!text.isEmpty())
        ref.data = reinterpret_cast<const char16_t*>(text.data());
    return ref;
}

// Has a table from the system a slice at a time: its texts land all over it, and would
// otherwise take the page faults of the whole table in their first few thousand writes.
// Threads of their own do it, and this one too between its pauses, as it has nothing else
// to do meanwhile: slices are small, so that one the system is slow to back (a virtual
// machine's host backs memory only when touched) still keeps this thread's pauses close.
// False when a pause returned false.
template <typename T>
bool populateInSlices(ZeroedArray<T>& table, const std::function<bool()>& pause)
{
    constexpr size_t kSlice = (size_t(1) << 18) / sizeof(T);
    const size_t slices = (table.size() + kSlice - 1) / kSlice;
    if (slices <= 1) {
        table.populate(0, table.size());
        return true;
    }
    const unsigned cores = std::max(std::thread::hardware_concurrency(), 1u);
    std::atomic<size_t> nextSlice{0};
    const auto populateSlices = [&table, &nextSlice, slices] {
        for (size_t slice; (slice = nextSlice.fetch_add(1, std::memory_order_relaxed)) < slices;)
            table.populate(slice * kSlice, kSlice);
    };
    // A thread on each other core, at most two; on one core, this thread alone.
    std::vector<HelperThread> populators(std::min(cores, 3u) - 1);
    // Before the threads go, none is left with slices to do.
    const auto stopFirst = qScopeGuard([&] { nextSlice.store(slices, std::memory_order_relaxed); });
    for (HelperThread& populator : populators)
        populator.start(populateSlices);
    for (size_t slice; (slice = nextSlice.fetch_add(1, std::memory_order_relaxed)) < slices;) {
        if (!pause())
            return false;
        table.populate(slice * kSlice, kSlice);
    }
    for (HelperThread& populator : populators) {
        do {
            if (!pause())
                return false;
        } while (!populator.finishWithin(std::chrono::milliseconds(1)));
    }
    return true;
}

// The position of the `k`th text an index takes.
int positionTaken(size_t k, TextIndex::Subset subset)
{
    return subset.positions ? (*subset.positions)[k] : static_cast<int>(k + 1);
}

// The hashes of the keys of a stretch of the texts an index takes, made a chunk at a time
// by every thread that takes part, each with a key function of its own.
class StretchHashes
{
public:
    void prepare(std::span<const TextRef> texts, TextIndex::Subset subset, size_t first,
                 size_t count)
    {
        m_texts = texts;
        m_subset = subset;
        m_first = first;
        m_hashes.resize(count);
        m_nextChunk.store(0, std::memory_order_relaxed);
    }
    void hashChunks(const TextIndex::KeyOf& keyOf)
    {
        constexpr size_t kChunk = 256;
        const size_t chunks = (m_hashes.size() + kChunk - 1) / kChunk;
        for (size_t chunk;
             (chunk = m_nextChunk.fetch_add(1, std::memory_order_relaxed)) < chunks;) {
            const size_t end = std::min(m_hashes.size(), (chunk + 1) * kChunk);
            for (size_t k = chunk * kChunk; k < end; ++k) {
                const int position = positionTaken(m_first + k, m_subset);
                const QStringView text = m_texts[size_t(position - 1)].view();
                m_hashes[k] = TextIndex::hashOf(keyOf ? keyOf(text) : text);
            }
        }
    }
    std::span<const TextHash> all() const { return m_hashes; }

private:
    std::span<const TextRef> m_texts;
    TextIndex::Subset m_subset;
    size_t m_first = 0;
    std::vector<TextHash> m_hashes;
    std::atomic<size_t> m_nextChunk{0};
};

} // namespace

QStringView TextArena::keep(QStringView text)
{
    const size_t size = static_cast<size_t>(text.size());
    if (size == 0)
        return {};
    char16_t* const at = roomFor(size);
    std::copy(text.utf16(), text.utf16() + size, at);
    return keepWritten(size);
}

char16_t* TextArena::roomFor(size_t size)
{
    if (m_room < size || !m_free) {
        m_room = std::max(size, kArenaBlockCharacters);
        m_blocks.push_back(std::make_unique_for_overwrite<char16_t[]>(m_room));
        m_free = m_blocks.back().get();
        if (m_blocks.size() == 1)
            m_firstBlockSize = m_room;
    }
    return m_free;
}

QStringView TextArena::keepWritten(size_t size)
{
    const QStringView kept(m_free, qsizetype(size));
    m_free += size;
    m_room -= size;
    return kept;
}

QStringView TextArena::keepUnlessPartOf(QStringView key, QStringView text)
{
    return isPartOf(key, text) ? key : keep(key);
}

void TextArena::clear()
{
    m_blocks.clear();
    m_free = nullptr;
    m_room = 0;
}

void TextArena::rewind()
{
    if (m_blocks.empty())
        return;
    m_blocks.resize(1);
    m_free = m_blocks.front().get();
    m_room = m_firstBlockSize;
}

void TextIndex::reset()
{
    m_texts = {};
    m_keyOf = {};
    m_candidateKeyOf = {};
    m_slots = {};
    m_sketch = {};
}

bool TextIndex::build(std::span<const TextRef> texts, const std::function<bool()>& pause)
{
    return build(texts, KeyOf(), pause);
}

QStringView TextIndex::keyAt(int position) const
{
    const QStringView text = textAt(position);
    return m_candidateKeyOf ? m_candidateKeyOf(text) : text;
}

QStringView TextIndex::keyOfText(QStringView text) const
{
    return m_keyOf ? m_keyOf(text) : text;
}

bool TextIndex::build(std::span<const TextRef> texts, const KeyOf& keyOf,
                      const std::function<bool()>& pause, HelperThread* helper)
{
    return build(texts, keyOf, pause, helper, Subset());
}

bool TextIndex::build(std::span<const TextRef> texts, const KeyOf& keyOf,
                      const std::function<bool()>& pause, HelperThread* helper, Subset subset)
{
    reset();
    const size_t taken = subset.positions ? subset.positions->size() : texts.size();
    m_keyOf = keyOf;
    m_candidateKeyOf = keyOf;
    m_slots = ZeroedArray<Slot>(capacityFor(taken));
    m_sketch = ZeroedArray<uint64_t>(sketchWords(taken));
    m_texts = texts;
    if (pause && !(populateInSlices(m_slots, pause) && populateInSlices(m_sketch, pause))) {
        reset();
        return false;
    }

    // The keys and hashes of one stretch are made while the one before is put in: on the
    // helper, with key buffers of its own, and here too once the stretch before is in. The
    // helper first marks in the sketch the stretch being put in.
    KeyOf helperKeyOf = keyOf;
    StretchHashes stretches[2];
    StretchHashes* hashes = &stretches[0];
    StretchHashes* nextHashes = &stretches[1];
    const auto finishHelper = qScopeGuard([helper] {
        if (helper)
            helper->finish();
    });
    const auto stretchFrom = [&](size_t first) {
        return std::min(kTextsBetweenPauses, taken - first);
    };
    if (taken > 0) {
        hashes->prepare(texts, subset, 0, stretchFrom(0));
        hashes->hashChunks(m_keyOf);
    }
    for (size_t first = 0; first < taken; first += kTextsBetweenPauses) {
        const size_t next = first + kTextsBetweenPauses;
        const bool more = next < taken;
        if (more)
            nextHashes->prepare(texts, subset, next, stretchFrom(next));
        if (helper) {
            helper->start([this, hashes, nextHashes, more, &helperKeyOf] {
                sketch(hashes->all());
                if (more)
                    nextHashes->hashChunks(helperKeyOf);
            });
        } else {
            sketch(hashes->all());
        }
        putIn(first, hashes->all(), subset);
        if (more)
            nextHashes->hashChunks(m_keyOf);
        if (helper)
            helper->wait();
        std::swap(hashes, nextHashes);
        if (more && pause && !pause()) {
            reset();
            return false;
        }
    }
    return true;
}

void TextIndex::putIn(size_t first, std::span<const TextHash> hashes, Subset subset)
{
    // The slots a few texts ahead are fetched while a text is put in, so that their misses
    // overlap.
    constexpr size_t kAhead = 16;
    const auto prefetchHome = [&](TextHash hash) {
        __builtin_prefetch(&m_slots[homeSlot(hash, m_slots.size())]);
    };
    for (size_t k = 0; k < std::min(kAhead, hashes.size()); ++k)
        prefetchHome(hashes[k]);
    for (size_t k = 0; k < hashes.size(); ++k) {
        if (k + kAhead < hashes.size())
            prefetchHome(hashes[k + kAhead]);
        const int position = positionTaken(first + k, subset);
        // Texts of the same hash are rare, so the key is made again for each one met.
        Slot& slot = m_slots[slotOf(m_slots, hashes[k], [&](int candidate) {
            return keyAt(candidate) == keyOfText(textAt(position));
        })];
        if (slot.position == 0) {
            slot = Slot{fingerprintOf(hashes[k]), position};
            continue;
        }
        slot.bits |= Slot::kShared; // and it keeps the first occurrence
        if (subset.sharing) {
            subset.sharing->push_back(slot.position);
            subset.sharing->push_back(position);
        }
    }
}

void TextIndex::sketch(std::span<const TextHash> hashes)
{
    constexpr size_t kAhead = 16;
    const auto wordOf = [this](TextHash hash) -> uint64_t& {
        return m_sketch[sketchWord(hash, m_sketch.size())];
    };
    for (size_t k = 0; k < hashes.size(); ++k) {
        if (k + kAhead < hashes.size())
            __builtin_prefetch(&wordOf(hashes[k + kAhead]));
        wordOf(hashes[k]) |= sketchBits(hashes[k]);
    }
}

// Texts are hashed here rather than by qHash. Qt's hash uses the wide vector registers
// and leaves their upper halves in use; on some processors every SSE instruction after it
// (folding keys, comparing strings) then waits for the register state to be sorted out,
// which made each hash and the compare after it cost ten times what they do alone.
//
// Sixteen bytes go into each step: a 64 x 64-bit multiply whose two halves are folded
// together. The constants' 16-bit lanes are low surrogates, which never stand alone in
// text, so the data's operand of a step is never zero and the step never loses the hash so
// far. Short texts are read as two words that may overlap rather than a byte at a time.
TextHash TextIndex::hashOf(QStringView text)
{
    constexpr uint64_t kFirst = 0xdc1bdc6cdd97de35ull;
    constexpr uint64_t kSecond = 0xdfa3dc5ede09dd72ull;
    constexpr uint64_t kFinish = 0x9e3779b97f4a7c15ull;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.utf16());
    const size_t size = size_t(text.size()) * sizeof(char16_t);
    uint64_t h = size * kFinish;
    uint64_t low = 0;
    uint64_t high = 0;
    if (size > 16) {
        size_t at = 0;
        for (; size - at > 16; at += 16)
            h = foldedProduct(wordAt<uint64_t>(bytes + at) ^ kFirst ^ h,
                              wordAt<uint64_t>(bytes + at + 8) ^ kSecond);
        low = wordAt<uint64_t>(bytes + size - 16);
        high = wordAt<uint64_t>(bytes + size - 8);
    } else if (size >= 8) {
        low = wordAt<uint64_t>(bytes);
        high = wordAt<uint64_t>(bytes + size - 8);
    } else if (size >= 4) {
        low = wordAt<uint32_t>(bytes);
        high = wordAt<uint32_t>(bytes + size - 4);
    } else if (size == 2) {
        low = wordAt<uint16_t>(bytes);
    }
    h = foldedProduct(low ^ kFirst ^ h, high ^ kSecond);
    h = foldedProduct(h ^ kFinish, size ^ kSecond);
    return h;
}

TextIndex::Found TextIndex::find(QStringView key, TextHash hash, const KeyOf& candidateKeyOf) const
{
    return findFrom(probe(hash), key, hash, candidateKeyOf);
}

TextIndex::Found TextIndex::findFrom(size_t slot, QStringView key, TextHash hash,
                                     const KeyOf& candidateKeyOf) const
{
    if (m_slots.empty() || slot == kAbsent)
        return {};
    const Slot& found = m_slots[slotFrom(m_slots, slot, fingerprintOf(hash), [&](int candidate) {
        const QStringView text = textAt(candidate);
        return (candidateKeyOf ? candidateKeyOf(text) : text) == key;
    })];
    return {found.position, found.position != 0 && !found.shared()};
}

bool TextIndex::mayHold(TextHash hash) const
{
    if (m_sketch.empty())
        return false;
    const uint64_t bits = sketchBits(hash);
    return (m_sketch[sketchWord(hash, m_sketch.size())] & bits) == bits;
}

void TextIndex::prefetch(TextHash hash) const
{
    if (!m_sketch.empty())
        __builtin_prefetch(&m_sketch[sketchWord(hash, m_sketch.size())]);
}

void TextIndex::prefetchSlot(TextHash hash) const
{
    if (mayHold(hash))
        __builtin_prefetch(&m_slots[homeSlot(hash, m_slots.size())]);
}

size_t TextIndex::probe(TextHash hash) const
{
    if (!mayHold(hash))
        return kAbsent;
    return slotOf(m_slots, hash, [](int) { return true; });
}

void TextIndex::prefetchRow(size_t slot) const
{
    if (slot != kAbsent && m_slots[slot].position != 0)
        __builtin_prefetch(&m_texts[size_t(m_slots[slot].position - 1)]);
}

void TextIndex::prefetchText(size_t slot) const
{
    if (slot != kAbsent && m_slots[slot].position != 0)
        __builtin_prefetch(m_texts[size_t(m_slots[slot].position - 1)].data);
}

bool TextSet::insert(QStringView text, TextHash hash)
{
    if ((m_texts.size() + 1) * 2 > m_slots.size())
        grow();
    const uint32_t fingerprint = fingerprintOf(hash);
    Slot& slot = m_slots[slotFrom(
        m_slots, setHomeSlot(fingerprint, m_slots.size()), fingerprint,
        [&](int position) { return m_texts[size_t(position - 1)].view() == text; })];
    if (slot.position != 0)
        return false;
    m_texts.push_back(refTo(m_chars.keep(text)));
    slot = Slot{fingerprint, static_cast<int32_t>(m_texts.size())};
    return true;
}

void TextSet::prefetch(TextHash hash) const
{
    if (!m_slots.empty())
        __builtin_prefetch(&m_slots[setHomeSlot(fingerprintOf(hash), m_slots.size())]);
}

void TextSet::reserve(size_t count, const std::function<void()>& pause)
{
    m_texts.reserve(count);
    if (m_slots.size() < capacityFor(count))
        growTo(capacityFor(count), [&] {
            pause();
            return true;
        });
}

void TextSet::grow()
{
    growTo(std::max(capacityFor(m_texts.size() + 1), m_slots.size() * 2), {});
}

void TextSet::growTo(size_t capacity, const std::function<bool()>& pause)
{
    ZeroedArray<Slot> table(capacity);
    if (pause)
        populateInSlices(table, pause);
    for (const Slot& slot : m_slots.all()) {
        if (slot.position == 0)
            continue;
        size_t at = setHomeSlot(slot.fingerprint(), table.size());
        while (table[at].position != 0)
            at = nextSlot(at, table.size());
        table[at] = slot;
    }
    m_slots = std::move(table);
}

} // namespace pq
