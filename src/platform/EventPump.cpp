#include "platform/EventPump.h"

#include <algorithm>

namespace pq {

void EventPump::removeWaitBeforeDispatch(const std::function<void()>* wait)
{
    m_waits.erase(std::remove(m_waits.begin(), m_waits.end(), wait), m_waits.end());
}

void EventPump::waitBeforeDispatch() const
{
    for (const std::function<void()>* wait : m_waits)
        (*wait)();
}

} // namespace pq
