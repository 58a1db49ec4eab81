#include "platform/PaneHistory.h"

namespace pq {

qsizetype PaneChange::bytes() const
{
    return qsizetype(runs.size() * sizeof(RowRun) + texts.size() * sizeof(TextRef) +
                     extras.size() * sizeof(RowExtras)) +
           contents.bytes();
}

void PaneHistory::endCommand()
{
    if (m_stepOpen && m_owner == m_level) {
        m_stepOpen = false;
        if (!m_open.changes.empty()) {
            m_heldBytes += m_open.bytes;
            m_steps.push_back(std::move(m_open));
            trim();
        }
        m_open = {};
    }
    --m_level;
}

void PaneHistory::openStep()
{
    if (m_stepOpen)
        return;
    m_stepOpen = true;
    m_owner = m_level;
    m_open = {};
}

void PaneHistory::record(PaneChange&& change)
{
    openStep();
    m_open.bytes += change.bytes();
    m_open.changes.push_back(std::move(change));
}

void PaneHistory::recordNewAppend(int first, int count, size_t blocksBefore)
{
    openStep();
    PaneChange change;
    change.appended = {first, count};
    change.blocksBefore = blocksBefore;
    m_open.changes.push_back(std::move(change));
}

void PaneHistory::forget()
{
    m_steps.clear();
    m_open.changes.clear();
    m_open.bytes = 0;
    m_heldBytes = 0;
}

std::vector<PaneChange> PaneHistory::takeNewest()
{
    Step step = std::move(m_steps.back());
    m_steps.pop_back();
    m_heldBytes -= step.bytes;
    return std::move(step.changes);
}

void PaneHistory::trim()
{
    while (m_steps.size() > kSteps || (m_steps.size() > 1 && m_heldBytes > kBudgetBytes)) {
        m_heldBytes -= m_steps.front().bytes;
        m_steps.pop_front();
    }
}

} // namespace pq
