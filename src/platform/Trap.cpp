#include "platform/Trap.h"

namespace pq {

void Trap::fail(int label, const QString& description, bool inLoop)
{
    if (m_mode == Mode::StopAtFirstFailure) {
        m_halted = true;
    } else if (inLoop && !m_failedLabels.insert(label).second) {
        m_halted = true;
        return;
    }
    m_errors.report(description, m_location, label);
}

} // namespace pq
