#include "match/Comparison.h"

#include "match/NearMiss.h"

#include <algorithm>

namespace pq {

namespace {

bool within(int position, int bound)
{
    return position != 0 && position <= bound;
}

} // namespace

bool ListIndex::build(std::span<const TextRef> texts, const std::function<bool()>& pause,
                      HelperThread* helper)
{
    m_texts = texts;
    TextIndex::KeyOf exactKey;
    if (m_options.ignoreBlanks || m_options.ignoreCase)
        exactKey = [options = m_options, keys = KeyMaker()](QStringView text) mutable {
            return keys.exactKey(text, options);
        };
    if (m_comparison != Comparison::NearMisses)
        return m_exact.build(texts, exactKey, pause, helper);
    // Texts with equal keys have equal loose keys, and a near miss's key is looked up only
    // when other texts share its loose key: only their keys are put in.
    std::vector<int> sharingLooseKeys;
    if (!m_loose.build(
            texts, [keys = KeyMaker()](QStringView text) mutable { return keys.looseKey(text); },
            pause, helper, {nullptr, &sharingLooseKeys}))
        return false;
    std::sort(sharingLooseKeys.begin(), sharingLooseKeys.end());
    sharingLooseKeys.erase(std::unique(sharingLooseKeys.begin(), sharingLooseKeys.end()),
                           sharingLooseKeys.end());
    return m_exact.build(texts, exactKey, pause, helper, {&sharingLooseKeys, nullptr});
}

// A piece's items have their slots fetched together: a piece is small enough that what is
// fetched for its first item is still at hand for its last.
void judgePiece(std::span<const TextRef> texts, const ListIndex& index, int bound,
                JudgingRoom& room, Verdict* verdicts)
{
    const size_t count = texts.size();
    const CompareOptions options = index.options();
    const bool near = index.comparison() == Comparison::NearMisses;
    // Texts with equal keys have equal loose keys too, so near misses are first looked up by
    // their loose keys: that settles most items, those with no loose partner, at once.
    const TextIndex& first = near ? index.loose() : index.exact();
    room.exactCandidates = index.exact().keyOf();
    room.looseCandidates = index.loose().keyOf();
    const TextIndex::KeyOf& firstCandidates = near ? room.looseCandidates : room.exactCandidates;
    room.firstKeys.resize(count);
    room.hashes.resize(count);
    for (size_t k = 0; k < count; ++k) {
        const QStringView text = texts[k].view();
        // Made where it is kept, if it can be.
        char16_t* const out = room.kept.roomFor(size_t(text.size()));
        const QStringView key =
            near ? room.keys.looseKey(text, out) : room.keys.exactKey(text, options, out);
        room.firstKeys[k] = key.utf16() == out ? room.kept.keepWritten(size_t(key.size()))
                                               : room.kept.keepUnlessPartOf(key, text);
        room.hashes[k] = TextIndex::hashOf(room.firstKeys[k]);
        first.prefetch(room.hashes[k]);
    }
    for (size_t k = 0; k < count; ++k)
        first.prefetchSlot(room.hashes[k]);
    room.lookupSlots.resize(count);
    for (size_t k = 0; k < count; ++k) {
        room.lookupSlots[k] = first.probe(room.hashes[k]);
        first.prefetchRow(room.lookupSlots[k]);
    }
    for (size_t k = 0; k < count; ++k)
        first.prefetchText(room.lookupSlots[k]);
    room.nearPositions.assign(count, 0);
    room.exactLookups.assign(count, false);
    for (size_t k = 0; k < count; ++k) {
        const TextIndex::Found match =
            first.findFrom(room.lookupSlots[k], room.firstKeys[k], room.hashes[k], firstCandidates);
        const bool found = within(match.position, bound);
        if (!near) {
            verdicts[k].append = index.comparison() == Comparison::AlsoIn ? found : !found;
            verdicts[k].key = room.firstKeys[k];
            verdicts[k].keyHash = room.hashes[k];
        } else if (found) {
            const QStringView text = texts[k].view();
            const QStringView key = room.keys.exactKey(text, options);
            // The only List 2 text with this loose key settles it: an exact match or none.
            if (match.alone &&
                key == room.candidateKeys.exactKey(first.textAt(match.position), options))
                continue;
            room.nearPositions[k] = match.position;
            room.exactLookups[k] = !match.alone;
            verdicts[k].key = room.kept.keepUnlessPartOf(key, text);
            verdicts[k].keyHash = TextIndex::hashOf(verdicts[k].key);
            if (!match.alone)
                index.exact().prefetchSlot(verdicts[k].keyHash);
        }
    }
    if (!near)
        return;
    for (size_t k = 0; k < count; ++k) {
        if (room.nearPositions[k] == 0 ||
            (room.exactLookups[k] &&
             within(index.exact()
                        .find(verdicts[k].key, verdicts[k].keyHash, room.exactCandidates)
                        .position,
                    bound)))
            continue;
        verdicts[k].append = true;
        verdicts[k].nearlyMatched = first.textAt(room.nearPositions[k]).toString();
    }
}

Verdict judge(QStringView text, const ListIndex& index, int bound, JudgingRoom& room)
{
    TextRef ref;
    ref.data = reinterpret_cast<const char16_t*>(text.utf16());
    ref.size = static_cast<quint32>(text.size());
    room.kept.rewind();
    Verdict verdict;
    judgePiece({&ref, 1}, index, bound, room, &verdict);
    return verdict;
}

} // namespace pq
