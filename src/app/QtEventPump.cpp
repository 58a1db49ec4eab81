#include "app/QtEventPump.h"

#include "platform/AppError.h"

#include <QCoreApplication>

#include <time.h>

namespace pq {

namespace {

constexpr qint64 kDispatchIntervalMs = 15;

// A clock for deciding whether to dispatch: read on every one of millions of yields, so a
// cheap one. Where the system has a coarse clock (a few milliseconds' resolution, no
// hardware read) it is used; the gaps themselves are measured with the precise one.
qint64 cheapNowMs()
{
#if defined(CLOCK_MONOTONIC_COARSE)
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
#else
    return QElapsedTimer::msecsSinceReference();
#endif
}

} // namespace

QtEventPump::QtEventPump()
{
    restartGap();
}

void QtEventPump::yield()
{
    if (m_abandoned)
        throw CommandAbandoned();
    if (cheapNowMs() - m_lastDispatchMs < kDispatchIntervalMs)
        return;
    waitBeforeDispatch();
    m_longestGapMs = std::max(m_longestGapMs, m_sinceDispatch.elapsed());
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    restartGap();
    if (m_abandoned)
        throw CommandAbandoned();
}

bool QtEventPump::dispatchDue() const
{
    return m_abandoned || cheapNowMs() - m_lastDispatchMs >= kDispatchIntervalMs;
}

void QtEventPump::resetLongestGap()
{
    m_longestGapMs = 0;
    restartGap();
}

void QtEventPump::restartGap()
{
    m_sinceDispatch.start();
    m_lastDispatchMs = cheapNowMs();
}

} // namespace pq
