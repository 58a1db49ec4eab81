#include "app/QtEventPump.h"

#include "platform/AppError.h"

#include <QCoreApplication>

namespace pq {

namespace {
constexpr qint64 kDispatchIntervalMs = 15;
}

QtEventPump::QtEventPump()
{
    m_sinceDispatch.start();
}

void QtEventPump::yield()
{
    if (m_abandoned)
        throw CommandAbandoned();
    const qint64 elapsed = m_sinceDispatch.elapsed();
    if (elapsed < kDispatchIntervalMs)
        return;
    m_longestGapMs = std::max(m_longestGapMs, elapsed);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    m_sinceDispatch.restart();
    if (m_abandoned)
        throw CommandAbandoned();
}

bool QtEventPump::dispatchDue() const
{
    return m_abandoned || m_sinceDispatch.elapsed() >= kDispatchIntervalMs;
}

void QtEventPump::resetLongestGap()
{
    m_longestGapMs = 0;
    m_sinceDispatch.restart();
}

} // namespace pq
