#include "match/TextIndex.h"

#include <QScopeGuard>

#include <algorithm>
#include <bit>
#include <cstring>

namespace pq {

namespace {

using Slot = TextIndex::Slot;

constexpr size_t kArenaBlockCharacters = size_t(1) << 18;

// The slot of this hash whose text `isSought`, or the empty slot where it would go.
template <typename IsSought>
size_t slotOf(const ZeroedArray<Slot>& table, size_t mask, uint32_t hash, IsSought isSought)
{
    size_t at = hash & mask;
    while (true) {
        const Slot& slot = table[at];
        if (slot.position == 0 || (slot.hashBits() == hash && isSought(slot.position)))
            return at;
        at = (at + 1) & mask;
    }
}

size_t slotOf(const ZeroedArray<Slot>& table, size_t mask, uint32_t hash, QStringView text,
              std::span<const TextRef> texts)
{
    return slotOf(table, mask, hash,
                  [&](int position) { return texts[size_t(position - 1)].view() == text; });
}

// A table size with room for `count` texts at most half full.
size_t capacityFor(size_t count)
{
    size_t capacity = 16;
    while (capacity < count * 2)
        capacity *= 2;
    return capacity;
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

// Has a table from the system a slice at a time, calling `pause` in between: its texts land
// all over it, and would otherwise take the page faults of the whole table in their first
// few thousand writes. With a `helper`, it has every other slice from the system at the same
// time. False when a pause returned false.
bool populateInSlices(ZeroedArray<Slot>& table, const std::function<bool()>& pause,
                      HelperThread* helper = nullptr)
{
    constexpr size_t kSlice = (size_t(8) << 20) / sizeof(Slot);
    const size_t step = helper ? 2 * kSlice : kSlice;
    for (size_t first = 0; first < table.size(); first += step) {
        if (first > 0 && !pause())
            return false;
        const size_t second = first + kSlice;
        if (helper && second < table.size())
            helper->start([&table, second] { table.populate(second, kSlice); });
        table.populate(first, kSlice);
        if (helper)
            helper->wait();
    }
    return true;
}

} // namespace

QStringView TextArena::keep(QStringView text)
{
    const size_t size = static_cast<size_t>(text.size());
    if (size == 0)
        return {};
    if (m_room < size) {
        m_room = std::max(size, kArenaBlockCharacters);
        m_blocks.push_back(std::make_unique_for_overwrite<char16_t[]>(m_room));
        m_free = m_blocks.back().get();
        if (m_blocks.size() == 1)
            m_firstBlockSize = m_room;
    }
    char16_t* const at = m_free;
    std::copy(text.utf16(), text.utf16() + size, at);
    m_free += size;
    m_room -= size;
    return QStringView(at, text.size());
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
    m_mask = 0;
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
    reset();
    m_keyOf = keyOf;
    m_candidateKeyOf = keyOf;
    m_slots = ZeroedArray<Slot>(capacityFor(texts.size()));
    m_mask = m_slots.size() - 1;
    m_texts = texts;
    if (pause && !populateInSlices(m_slots, pause, helper)) {
        reset();
        return false;
    }

    // The keys and hashes of one stretch are made while the one before is put in: on the
    // helper, with key buffers of its own, or else here, in turn.
    KeyOf helperKeyOf = keyOf;
    const auto hashStretch = [&texts](size_t first, const KeyOf& keyOfText,
                                      std::vector<uint32_t>& hashes) {
        const size_t count = std::min(kTextsBetweenPauses, texts.size() - first);
        hashes.resize(count);
        for (size_t k = 0; k < count; ++k) {
            const QStringView text = texts[first + k].view();
            hashes[k] = hashOf(keyOfText ? keyOfText(text) : text);
        }
    };
    const auto finishHelper = qScopeGuard([helper] {
        if (helper)
            helper->finish();
    });
    std::vector<uint32_t> hashes;
    std::vector<uint32_t> nextHashes;
    if (!texts.empty())
        hashStretch(0, m_keyOf, hashes);
    for (size_t first = 0; first < texts.size(); first += kTextsBetweenPauses) {
        const size_t next = first + kTextsBetweenPauses;
        const bool more = next < texts.size();
        if (more && helper)
            helper->start([&, next] { hashStretch(next, helperKeyOf, nextHashes); });
        putIn(first, hashes);
        if (more && helper)
            helper->wait();
        else if (more)
            hashStretch(next, m_keyOf, nextHashes);
        std::swap(hashes, nextHashes);
        if (more && pause && !pause()) {
            reset();
            return false;
        }
    }
    return true;
}

void TextIndex::putIn(size_t first, std::span<const uint32_t> hashes)
{
    // The slots a few texts ahead are fetched while a text is put in, so that their misses
    // overlap.
    constexpr size_t kAhead = 16;
    for (size_t k = 0; k < std::min(kAhead, hashes.size()); ++k)
        prefetch(hashes[k]);
    for (size_t k = 0; k < hashes.size(); ++k) {
        if (k + kAhead < hashes.size())
            prefetch(hashes[k + kAhead]);
        const int position = static_cast<int>(first + k + 1);
        // Texts of the same hash are rare, so the key is made again for each one met.
        Slot& slot = m_slots[slotOf(m_slots, m_mask, hashes[k], [&](int candidate) {
            return keyAt(candidate) == keyOfText(textAt(position));
        })];
        if (slot.position == 0)
            slot = Slot{hashes[k], position};
        else // keep the first occurrence
            slot.hash |= Slot::kShared;
    }
}

// Texts are hashed here rather than by qHash. Qt's hash uses the wide vector registers
// and leaves their upper halves in use; on some processors every SSE instruction after it
// (folding keys, comparing strings) then waits for the register state to be sorted out,
// which made each hash and the compare after it cost ten times what they do alone.
uint32_t TextIndex::hashOf(QStringView text)
{
    constexpr uint64_t kMultiplier = 0x9e3779b97f4a7c15ull;
    const auto mixIn = [](uint64_t h, uint64_t word) {
        return std::rotl((h ^ word) * kMultiplier, 29);
    };
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.utf16());
    size_t left = size_t(text.size()) * sizeof(char16_t);
    uint64_t h = 0x2d358dccaa6c78a5ull ^ (left * kMultiplier);
    for (; left >= sizeof(uint64_t); left -= sizeof(uint64_t), bytes += sizeof(uint64_t)) {
        uint64_t word;
        std::memcpy(&word, bytes, sizeof word);
        h = mixIn(h, word);
    }
    if (left > 0) {
        uint64_t word = 0;
        std::memcpy(&word, bytes, left);
        h = mixIn(h, word);
    }
    // The finishing steps of MurmurHash3, so that every bit of the text reaches the low
    // bits a table's slot is chosen by.
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdull;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ull;
    h ^= h >> 33;
    return static_cast<uint32_t>(h ^ (h >> 32)) & ~Slot::kShared;
}

TextIndex::Found TextIndex::find(QStringView key, uint32_t hash, const KeyOf& candidateKeyOf) const
{
    if (m_slots.empty())
        return {};
    const Slot& slot = m_slots[slotOf(m_slots, m_mask, hash, [&](int candidate) {
        const QStringView text = textAt(candidate);
        return (candidateKeyOf ? candidateKeyOf(text) : text) == key;
    })];
    return {slot.position, slot.position != 0 && !slot.shared()};
}

void TextIndex::prefetch(uint32_t hash) const
{
    if (!m_slots.empty())
        __builtin_prefetch(&m_slots[hash & m_mask]);
}

int TextIndex::candidateOf(uint32_t hash) const
{
    if (m_slots.empty())
        return 0;
    for (size_t at = hash & m_mask;; at = (at + 1) & m_mask) {
        const Slot& slot = m_slots[at];
        if (slot.position == 0 || slot.hashBits() == hash)
            return slot.position;
    }
}

void TextIndex::prefetchCandidate(uint32_t hash) const
{
    if (const int position = candidateOf(hash))
        __builtin_prefetch(&m_texts[size_t(position - 1)]);
}

void TextIndex::prefetchCandidateText(uint32_t hash) const
{
    if (const int position = candidateOf(hash))
        __builtin_prefetch(m_texts[size_t(position - 1)].data);
}

bool TextSet::insert(QStringView text, uint32_t hash)
{
    if (m_slots.size() < capacityFor(m_texts.size() + 1))
        grow();
    Slot& slot = m_slots[slotOf(m_slots, m_mask, hash, text, m_texts)];
    if (slot.position != 0)
        return false;
    m_texts.push_back(refTo(m_chars.keep(text)));
    slot = Slot{hash, static_cast<int32_t>(m_texts.size())};
    return true;
}

void TextSet::prefetch(uint32_t hash) const
{
    if (!m_slots.empty())
        __builtin_prefetch(&m_slots[hash & m_mask]);
}

void TextSet::reserve(size_t count, const std::function<void()>& pause, HelperThread* helper)
{
    m_texts.reserve(count);
    if (m_slots.size() < capacityFor(count))
        growTo(
            capacityFor(count),
            [&] {
                pause();
                return true;
            },
            helper);
}

void TextSet::grow()
{
    growTo(capacityFor(m_texts.size() + 1), {});
}

void TextSet::growTo(size_t capacity, const std::function<bool()>& pause, HelperThread* helper)
{
    ZeroedArray<Slot> table(capacity);
    if (pause)
        populateInSlices(table, pause, helper);
    const size_t mask = table.size() - 1;
    for (const Slot& slot : m_slots.all()) {
        if (slot.position == 0)
            continue;
        size_t at = slot.hashBits() & mask;
        while (table[at].position != 0)
            at = (at + 1) & mask;
        table[at] = slot;
    }
    m_slots = std::move(table);
    m_mask = mask;
}

} // namespace pq
