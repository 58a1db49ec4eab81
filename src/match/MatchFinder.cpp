#include "match/MatchFinder.h"

#include "match/Comparison.h"
#include "match/NearMiss.h"
#include "platform/EventPump.h"
#include "platform/HelperThread.h"
#include "platform/Runtime.h"
#include "platform/Trap.h"
#include "platform/Workspace.h"

#include <QScopeGuard>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <new>
#include <optional>

namespace pq {

namespace {

// The index of the list a run does not walk, following its changes: rebuilt whenever that
// list changed since the last build, so a run always looks at the pane's current content.
class RunIndex
{
public:
    RunIndex(const ListPane& list, Runtime& runtime, HelperThread& helper, CompareOptions options,
             Comparison comparison)
        : m_list(list), m_runtime(runtime), m_helper(helper), m_index(options, comparison)
    {
    }

    // Brings the index up to date; yields while it builds.
    const ListIndex& refresh()
    {
        while (!m_built || m_revision != m_list.revision()) {
            m_revision = m_list.revision();
            m_built = m_index.build(
                m_list.texts(),
                [&] {
                    m_runtime.yield();
                    return m_revision == m_list.revision();
                },
                &m_helper);
            m_builds += m_built ? 1 : 0;
        }
        return m_index;
    }
    // The index as the last refresh left it.
    const ListIndex& refreshed() const { return m_index; }
    // How many times the index was built: it changes whenever the index does.
    quint64 builds() const { return m_builds; }

private:
    const ListPane& m_list;
    Runtime& m_runtime;
    HelperThread& m_helper;
    ListIndex m_index;
    quint64 m_revision = 0;
    quint64 m_builds = 0;
    bool m_built = false;
};

// Verdicts on the walked list's items, judged a block ahead and kept while they hold: while
// neither list changed and the bound stayed the same. While the run works through one
// block, the helper thread judges the next, piece by piece; a run that gets there first
// judges the pieces left itself. The helper never runs while other commands may, as every
// dispatch first waits for it.
class VerdictsAhead
{
public:
    static constexpr int kBlockItems = 256;  // judged while the run waits for them
    static constexpr int kAheadItems = 4096; // judged by the helper meanwhile

    // With `resultKeys`, the places of the results' keys in it are fetched a piece ahead,
    // so that adding them later does not wait for memory one key after another.
    VerdictsAhead(const TextSet* resultKeys, HelperThread& helper, EventPump& pump)
        : m_resultKeys(resultKeys), m_helper(helper),
          m_settled(pump, [&helper] { helper.finish(); })
    {
    }
    VerdictsAhead(const VerdictsAhead&) = delete;
    VerdictsAhead& operator=(const VerdictsAhead&) = delete;
    ~VerdictsAhead() { m_helper.finish(); }

    // The verdict on item `i` of `walked`, valid until the next call; `a` is its text as the
    // run read it, and `aIsCurrent` whether the list held it at `i` ever since.
    const Verdict& verdictOn(int i, QStringView a, bool aIsCurrent, const ListPane& walked,
                             const RunIndex& index, int bound)
    {
        if (!aIsCurrent) {
            m_current->first = 0;
            m_ahead->first = 0;
            m_helper.wait();
            m_alone = judge(a, index.refreshed(), bound, m_current->room);
            return m_alone;
        }
        const Stamp now{walked.revision(), index.builds(), bound};
        if (!m_current->holds(i, now)) {
            takeOverAhead(i, index.refreshed(), now);
            if (m_ahead->first == i && m_ahead->holds(i, now))
                std::swap(m_current, m_ahead);
            else
                judgeHere(blockOf(walked, i, kBlockItems), i, index.refreshed(), now);
            m_ahead->first = 0;
            judgeAhead(walked, index.refreshed(), now);
            m_prefetchedTo = i;
        }
        prefetchResultKeys(i);
        return m_current->verdicts[size_t(i - m_current->first)];
    }

private:
    struct Stamp
    {
        quint64 revision = 0;
        quint64 builds = 0;
        int bound = 0;
        bool operator==(const Stamp&) const = default;
    };
    // What the run reads at every item, what both threads count pieces with, and each
    // thread's room lie on cache lines of their own: the run's reads would otherwise
    // miss whenever the helper writes next to them.
    struct alignas(64) Block
    {
        std::vector<Verdict> verdicts;
        int first = 0; // the position of the first verdict; 0: none held
        Stamp stamp;
        std::span<const TextRef> texts; // while its pieces are judged
        alignas(64) std::atomic<size_t> nextPiece{0};
        alignas(64) JudgingRoom room;      // the helper's
        alignas(64) JudgingRoom takenOver; // the run's, for the pieces it judges itself

        bool holds(int i, const Stamp& now) const
        {
            return first > 0 && i >= first && i < first + int(verdicts.size()) && stamp == now;
        }
        // Made ready to be judged in pieces, before any thread starts on it.
        void prepare(std::span<const TextRef> block, int from, const Stamp& now)
        {
            texts = block;
            clearVerdicts(block.size());
            room.kept.rewind();
            takenOver.kept.rewind();
            nextPiece.store(0, std::memory_order_relaxed);
            first = from;
            stamp = now;
        }
        // Verdicts that append nothing; a near miss's text is let go only where one was
        // kept, as assigning an empty one to each of millions of verdicts costs a call each.
        void clearVerdicts(size_t count)
        {
            verdicts.resize(count);
            for (Verdict& verdict : verdicts) {
                verdict.append = false;
                verdict.key = {};
                verdict.keyHash = 0;
                if (!verdict.nearlyMatched.isNull())
                    verdict.nearlyMatched = QString();
            }
        }
        // Judges pieces no thread has taken yet, with `into` for their keys.
        void judgePieces(const ListIndex& index, JudgingRoom& into)
        {
            const size_t pieces = (texts.size() + kPieceItems - 1) / kPieceItems;
            for (size_t piece;
                 (piece = nextPiece.fetch_add(1, std::memory_order_relaxed)) < pieces;) {
                const size_t at = piece * kPieceItems;
                judgePiece(texts.subspan(at, std::min(kPieceItems, texts.size() - at)), index,
                           stamp.bound, into, verdicts.data() + at);
            }
        }
    };

    // The texts of the block of up to `items` that starts at `from`.
    static std::span<const TextRef> blockOf(const ListPane& walked, int from, int items)
    {
        return walked.texts().subspan(size_t(from - 1),
                                      size_t(std::min(items, walked.count() - from + 1)));
    }

    // Judges the block at `from` on this thread, as the current one.
    void judgeHere(std::span<const TextRef> block, int from, const ListIndex& index,
                   const Stamp& now)
    {
        m_current->prepare(block, from, now);
        m_current->first = 0; // until every piece is judged
        m_current->judgePieces(index, m_current->room);
        m_current->first = from;
    }

    // Hands the block after the current one to the helper, if there is one.
    void judgeAhead(const ListPane& walked, const ListIndex& index, const Stamp& now)
    {
        const int from = m_current->first + int(m_current->verdicts.size());
        if (from > walked.count())
            return;
        m_ahead->prepare(blockOf(walked, from, kAheadItems), from, now);
        m_helper.start([ahead = m_ahead, &index] { ahead->judgePieces(index, ahead->room); });
    }

    // Judges what the helper has not begun of the block ahead when it starts at `i` and
    // still holds, then waits for the helper. The block ahead holds no verdicts after a
    // failure.
    void takeOverAhead(int i, const ListIndex& index, const Stamp& now)
    {
        try {
            if (m_ahead->first == i && m_ahead->stamp == now)
                m_ahead->judgePieces(index, m_ahead->takenOver);
            m_helper.wait();
        } catch (...) {
            m_helper.finish();
            m_ahead->first = 0;
            throw;
        }
    }

    void prefetchResultKeys(int i)
    {
        if (!m_resultKeys || i < m_prefetchedTo)
            return;
        const size_t from = size_t(i - m_current->first);
        const size_t to = std::min(m_current->verdicts.size(), from + kBlockItems);
        for (size_t k = from; k < to; ++k) {
            if (m_current->verdicts[k].append)
                m_resultKeys->prefetch(m_current->verdicts[k].keyHash);
        }
        m_prefetchedTo = i + kBlockItems;
    }

    const TextSet* m_resultKeys;
    HelperThread& m_helper;
    WaitBeforeDispatch m_settled;
    Block m_blocks[2];
    Block* m_current = &m_blocks[0];
    Block* m_ahead = &m_blocks[1];
    int m_prefetchedTo = 0;
    Verdict m_alone; // on an item judged by itself
};

// Reports a failure once the helper is done: the report's box lets events, and so other
// commands, run while it is up.
class ReportAfterHelper : public ErrorSink
{
public:
    ReportAfterHelper(ErrorSink& errors, HelperThread& helper) : m_errors(errors), m_helper(helper)
    {
    }
    void report(const QString& description, const QString& location, int label) override
    {
        m_helper.finish();
        m_errors.report(description, location, label);
    }

private:
    ErrorSink& m_errors;
    HelperThread& m_helper;
};

// The walked item as the run read it. Its characters stay while the commands that run
// during the run's yields change the list, as the run holds the block they lie in, which a
// result then shares rather than copying them.
class ReadItem
{
public:
    void read(const ListPane& list, int position)
    {
        const QStringView text = list.view(position); // throws when there is no such item
        m_text.data = reinterpret_cast<const char16_t*>(text.utf16());
        m_text.size = quint32(text.size());
        if (m_text.size == 0 || (m_block && BlockLookup::holds(*m_block, m_text)))
            return;
        if (const std::shared_ptr<TextBlock>* block = blockHolding(list)) {
            m_block = *block;
            return;
        }
        m_block.reset();
        m_copy = m_text.view().toString();
        m_text.data = reinterpret_cast<const char16_t*>(m_copy.utf16());
    }
    QStringView text() const { return m_text.view(); }
    void addTo(ListPane& results) const
    {
        if (m_block && m_text.size > 0)
            results.addShared(m_text, m_block, true);
        else
            results.add(text(), true);
    }

private:
    const std::shared_ptr<TextBlock>* blockHolding(const ListPane& list)
    {
        const std::shared_ptr<TextBlock>* block = m_blocks.holding(m_text);
        if (!block && m_indexedAt != list.revision()) {
            m_blocks.index(list.blocks());
            m_indexedAt = list.revision();
            block = m_blocks.holding(m_text);
        }
        return block;
    }

    TextRef m_text;
    std::shared_ptr<TextBlock> m_block;
    QString m_copy; // of a text in no block of the list's
    BlockLookup m_blocks;
    std::optional<quint64> m_indexedAt;
};

// Whether an item is a result even when the other list is empty: nothing is in it then.
bool missingCounts(Comparison comparison)
{
    return comparison == Comparison::NotIn || comparison == Comparison::List2NotInList1;
}

// Room in Results for every walked item at once, which the system only hands out as rows
// fill it: Results grown by doubling would copy millions of rows at once, in one pause.
// Without the room the rows still grow as they come.
void reserveResults(ListPane& results, int walkedItems)
{
    try {
        results.reserve(walkedItems);
    } catch (const std::bad_alloc&) {
    }
}

// Room for the keys of every result at once, for the same reason; had from the system a
// slice at a time, yielding in between.
void reserveKeys(TextSet& keys, int walkedItems, Runtime& runtime)
{
    try {
        keys.reserve(size_t(walkedItems), [&] { runtime.yield(); });
    } catch (const std::bad_alloc&) {
    }
}

// The last row's tool tip says what the near miss nearly matched, and how they differ. Few
// of a long run's rows are ever hovered, so it is made when it is read.
void explainNearMiss(ListPane& results, const QString& item, const QString& list2Text,
                     CompareOptions options)
{
    results.setRowToolTip(results.count(), [item, list2Text, options] {
        return nearMissExplanation(item, list2Text, options);
    });
}

} // namespace

int progressPercent(int i, int count)
{
    if (count == 0)
        throw AppError(QStringLiteral("Division by zero"));
    const double percent = static_cast<double>(i) / static_cast<double>(count) * 100.0;
    return static_cast<int>(std::floor(percent));
}

QString FileNamePart(QStringView text)
{
    return text.mid(text.lastIndexOf(u'\\') + 1).toString();
}

void ProgressSteps::stepAt(int i, int count)
{
    m_value = progressPercent(i, count); // throws for an empty list, every time
    m_count = count;
    m_from = i;
    // The value never falls as items go by, so the first item of a higher one is found by
    // halving.
    qint64 same = i;                   // the last item known to have the value
    qint64 higher = qint64(count) + 1; // the first known not to, or past the list
    while (higher - same > 1) {
        const qint64 middle = same + (higher - same) / 2;
        (progressPercent(int(middle), count) == m_value ? same : higher) = middle;
    }
    m_to = higher;
}

void PushButton11_Click(Workspace& ws)
{
    compareLists(ws, Comparison::AlsoIn);
}

void compareLists(Workspace& ws, Comparison comparison)
{
    Runtime& runtime = ws.runtime;
    HelperThread helper;
    ReportAfterHelper errors(runtime.errors(), helper);
    Trap trap(errors, QStringLiteral("Form1.PushButton11_Click"));
    const ListPane& walked = walksList2(comparison) ? ws.listView2 : ws.listView1;
    const ListPane& other = walksList2(comparison) ? ws.listView1 : ws.listView2;
    const CompareOptions options = ws.compareOptions;
    ProgressBar& bar = ws.progressBar1;
    RunIndex index(other, runtime, helper, options, comparison);
    TextSet appended; // the keys of this run's results, for "Each Result Once"
    VerdictsAhead ahead(options.eachResultOnce ? &appended : nullptr, helper, runtime.pump());
    ReadItem a;
    const auto endSharing = qScopeGuard([&ws] { ws.listView3.endSharing(); });
    ProgressSteps progress;

    trap.step(100, [&] { runtime.yield(); });
    const int count1 = walked.count(); // [102]
    reserveResults(ws.listView3, count1);
    if (options.eachResultOnce)
        reserveKeys(appended, count1, runtime);
    // The walked list may shrink while the run yields: the run then ends where it ends.
    const auto stillWalked = [&](int i) { return i <= walked.count(); };
    for (int i = 1; i <= count1 && !trap.halted(); ++i) {
        trap.loopStep(104, [&] { runtime.yield(); });
        if (!stillWalked(i))
            break;
        trap.loopStep(106, [&] { bar.setValue(progress.at(i, walked.count())); });
        const int count2 = other.count(); // [108]
        if (count2 <= 0 && !missingCounts(comparison))
            continue;
        trap.loopStep(110, [&] { runtime.yield(); });
        if (!stillWalked(i))
            break;
        std::optional<quint64> readAt; // the walked list's revision when `a` was read
        trap.loopStep(112, [&] {
            a.read(walked, i);
            readAt = walked.revision();
            // The caption only shows when the window repaints, so it is built only then.
            if (runtime.pump().dispatchDue())
                bar.setText(u"Processing: " + FileNamePart(a.text()));
            runtime.yield();
        });
        if (!stillWalked(i))
            break;
        const Verdict* verdict = nullptr;
        trap.loopStep(116, [&] {
            index.refresh();
            verdict = &ahead.verdictOn(i, a.text(), readAt == walked.revision(), walked, index,
                                       std::min(count2, other.count()));
        });
        if (verdict && verdict->append) {
            trap.loopStep(118, [&] {
                if (options.eachResultOnce && !appended.insert(verdict->key, verdict->keyHash))
                    return;
                a.addTo(ws.listView3);
                if (comparison == Comparison::NearMisses)
                    explainNearMiss(ws.listView3, a.text().toString(), verdict->nearlyMatched,
                                    options);
            });
        }
    }
    ws.mousePointer.setValue(MousePointer::Default); // [122]
    bar.setValue(0);                                 // [124]
    bar.setText(ProgressBar::restText());
}

} // namespace pq
