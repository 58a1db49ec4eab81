#include "app/QtEventPump.h"

#include "platform/AppError.h"

#include <QCoreApplication>

#include <system_error>

#include <time.h>

namespace pq {

namespace {

constexpr qint64 kDispatchIntervalMs = 15;

// Without a ticker, the clock that decides whether to dispatch: read on every one of
// millions of yields, so a cheap one. Where the system has a coarse clock (a few
// milliseconds' resolution, no hardware read) it is used; the gaps themselves are measured
// with the precise one.
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
    try {
        m_ticker = std::thread([this] { tick(); });
    } catch (const std::system_error&) {
        // Yields read the clock instead.
    }
}

QtEventPump::~QtEventPump()
{
    if (!m_ticker.joinable())
        return;
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_restarted.notify_one();
    m_ticker.join();
}

bool QtEventPump::due() const
{
    if (m_ticker.joinable())
        return m_due.load(std::memory_order_relaxed);
    return cheapNowMs() - m_lastDispatchMs >= kDispatchIntervalMs;
}

void QtEventPump::dispatch()
{
    if (m_abandoned)
        throw CommandAbandoned();
    // The ticker's sleep may end a little early; the precise clock has the last word.
    if (m_sinceDispatch.elapsed() < kDispatchIntervalMs)
        return;
    waitBeforeDispatch();
    m_longestGapMs = std::max(m_longestGapMs, m_sinceDispatch.elapsed());
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    restartGap();
    if (m_abandoned)
        throw CommandAbandoned();
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
    {
        // Under the lock, so that a ticker just waking for the gap before cannot raise the
        // flag again after it.
        const std::lock_guard lock(m_mutex);
        m_due.store(false, std::memory_order_relaxed);
        m_dueAt = Clock::now() + std::chrono::milliseconds(kDispatchIntervalMs);
    }
    m_restarted.notify_one();
}

// Raises the flag when the next dispatch is due, then waits for that dispatch.
void QtEventPump::tick()
{
    std::unique_lock lock(m_mutex);
    while (!m_stopping) {
        if (m_due.load(std::memory_order_relaxed)) {
            m_restarted.wait(lock);
            continue;
        }
        const Clock::time_point dueAt = m_dueAt;
        if (m_restarted.wait_until(lock, dueAt) == std::cv_status::timeout && m_dueAt == dueAt)
            m_due.store(true, std::memory_order_relaxed);
    }
}

} // namespace pq
