#pragma once

#include "platform/RowRuns.h"
#include "platform/TextStore.h"

#include <QString>
#include <QStringList>

#include <functional>

#include <deque>
#include <vector>

namespace pq {

// What a row carries besides its text and check mark; most panes have none of it.
struct RowExtras
{
    QStringList subItems;
    QString toolTip;
    std::function<QString()> makeToolTip; // a tool tip made only when it is read
};

// One change of a pane, with what undoing it needs.
struct PaneChange
{
    enum class Kind { Appended, Removed, Cleared };
    Kind kind = Kind::Appended;
    RowRun appended;               // Appended: the rows added at the end
    size_t blocksBefore = 0;       // Appended: the blocks the store held before
    std::vector<RowRun> runs;      // Removed: the runs the rows held
    std::vector<TextRef> texts;    // Removed: their texts, which stay in the store's blocks
    std::vector<RowExtras> extras; // Removed, Cleared: their extras, when the pane had any
    TextStore::Contents contents;  // Cleared: every row and block, moved out

    qsizetype bytes() const;
};

// The undo steps of one pane.
//
// The window opens a command around everything it runs for the user (beginCommand,
// endCommand); commands run inside the yields of others, so they nest. The first command
// that changes the pane owns the step of that pane: every change made until that command
// ends goes into its step, also changes made by commands run inside its yields, so that
// one undo puts back the pane as it was before the command. A step that is still open
// cannot be undone.
//
// The newest kSteps steps are kept, fewer once together they hold more than kBudgetBytes;
// the newest step is always kept.
class PaneHistory
{
public:
    static constexpr size_t kSteps = 20;
    static constexpr qsizetype kBudgetBytes = qsizetype(512) << 20;

    void beginCommand() { ++m_level; }
    void endCommand();
    // Whether a command is running, so that a change can be recorded.
    bool recording() const { return m_level > 0; }
    void record(PaneChange&& change);
    // Appends are recorded so often that they have a way of their own, and one that
    // continues the open step's last append costs next to nothing.
    void recordAppend(int first, int count, size_t blocksBefore)
    {
        if (m_stepOpen && !m_open.changes.empty()) {
            PaneChange& last = m_open.changes.back();
            if (last.kind == PaneChange::Kind::Appended && last.appended.end() == first) {
                last.appended.count += count;
                return;
            }
        }
        recordNewAppend(first, count, blocksBefore);
    }
    // Drops every step, and what the open one holds so far: a change was made that no
    // step holds.
    void forget();

    bool canUndo() const { return !m_stepOpen && !m_steps.empty(); }
    size_t steps() const { return m_steps.size(); }
    // The changes of the newest step, oldest first; the step leaves the history.
    std::vector<PaneChange> takeNewest();

private:
    struct Step
    {
        std::vector<PaneChange> changes;
        qsizetype bytes = 0;
    };
    void openStep();
    void recordNewAppend(int first, int count, size_t blocksBefore);
    void trim();

    std::deque<Step> m_steps;
    Step m_open;
    qsizetype m_heldBytes = 0;
    int m_level = 0;
    int m_owner = 0; // the level of the command that owns the open step
    bool m_stepOpen = false;
};

} // namespace pq
