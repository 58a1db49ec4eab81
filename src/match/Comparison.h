#pragma once

#include "match/TextIndex.h"
#include "match/TextKeys.h"
#include "platform/Workspace.h"

#include <QString>
#include <QStringView>

#include <functional>
#include <span>
#include <vector>

namespace pq {

// The questions a run asks of the two lists.
enum class Comparison {
    AlsoIn,          // List 1 items that occur in List 2
    NotIn,           // List 1 items that do not occur in List 2
    List2NotInList1, // List 2 items that do not occur in List 1
    NearMisses,      // List 1 items that occur in List 2 only when nearly alike
};

// Whether a run walks List 2 and looks its items up in List 1.
inline bool walksList2(Comparison comparison)
{
    return comparison == Comparison::List2NotInList1;
}

// What a run looks items up in: the texts of the list it does not walk, by their keys under
// the options, and for near misses by their loose keys too.
class ListIndex
{
public:
    ListIndex(CompareOptions options, Comparison comparison)
        : m_options(options), m_comparison(comparison)
    {
    }

    // Returns false, and is empty, when `pause` returned false. Makes keys on `helper`
    // too when given (see TextIndex::build).
    bool build(std::span<const TextRef> texts, const std::function<bool()>& pause = {},
               HelperThread* helper = nullptr);

    CompareOptions options() const { return m_options; }
    Comparison comparison() const { return m_comparison; }
    std::span<const TextRef> texts() const { return m_texts; }
    // For near misses, the exact index holds only the texts whose loose key another text
    // has too.
    const TextIndex& exact() const { return m_exact; }
    const TextIndex& loose() const { return m_loose; }

private:
    CompareOptions m_options;
    Comparison m_comparison;
    std::span<const TextRef> m_texts;
    TextIndex m_exact;
    TextIndex m_loose;
};

// What becomes of one item of the walked list.
struct Verdict
{
    bool append = false;
    QStringView key; // the item's key under the options, when it is appended
    TextHash keyHash = 0;
    QString nearlyMatched; // a near miss's first List 2 text with the same loose key
};

// The room that judging borrows: key buffers and the keys kept for the verdicts, which are
// valid until the next judging with the same room.
struct JudgingRoom
{
    KeyMaker keys;
    KeyMaker candidateKeys; // of the texts in the index that keys are compared with
    // The indexes' own key functions, with buffers of this room's own.
    TextIndex::KeyOf exactCandidates;
    TextIndex::KeyOf looseCandidates;
    TextArena kept;
    std::vector<QStringView> firstKeys;
    std::vector<TextHash> hashes;
    std::vector<size_t> lookupSlots; // where each lookup begins comparing
    std::vector<int> nearPositions;
    std::vector<char> exactLookups; // whether a near miss's key must still be looked up
};

// Judges each of `texts`, at most kPieceItems of them, against the first `bound` items of
// the index, into `verdicts`: a function of the texts, the index and its options alone,
// with no yield and no pane, so that items can be judged anywhere, on any thread with a
// room of its own. Looking a piece up at once lets the fetches from memory of its items
// overlap; but not so many that their fetches wait for one another, as the processor
// follows only so many at once: 64 items judged faster than 256, at a million items and at
// ten million. The keys it makes are kept in `room` along with those kept before, so that
// the pieces of one block can share a room.
constexpr size_t kPieceItems = 64;
void judgePiece(std::span<const TextRef> texts, const ListIndex& index, int bound,
                JudgingRoom& room, Verdict* verdicts);

// Judges one text.
Verdict judge(QStringView text, const ListIndex& index, int bound, JudgingRoom& room);

} // namespace pq
