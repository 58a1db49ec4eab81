#pragma once

#include "platform/EventPump.h"

#include <QElapsedTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace pq {

// Lets Qt dispatch pending events, but only when ~15 ms passed since the last dispatch, so
// millions of yields cost next to nothing while the window still repaints ~60 times a
// second. A ticker thread says when the next dispatch is due, so a yield in between reads
// one flag rather than a clock; it sleeps from one dispatch to the next, and for good while
// no command yields. Once `abandonCommands` was called, every yield throws CommandAbandoned.
class QtEventPump : public EventPump
{
public:
    QtEventPump();
    QtEventPump(const QtEventPump&) = delete;
    QtEventPump& operator=(const QtEventPump&) = delete;
    ~QtEventPump() override;

    void yield() override
    {
        if (m_abandoned || due())
            dispatch();
    }
    bool dispatchDue() const override { return m_abandoned || due(); }
    void abandonCommands() override { m_abandoned = true; }

    // The longest time between two dispatches seen so far, in milliseconds.
    // The gap still open at this moment counts too.
    qint64 longestGapMs() const { return std::max(m_longestGapMs, m_sinceDispatch.elapsed()); }
    void resetLongestGap();

private:
    using Clock = std::chrono::steady_clock;

    bool due() const;
    void dispatch();
    void restartGap();
    void tick();

    QElapsedTimer m_sinceDispatch;
    qint64 m_lastDispatchMs = 0; // by the cheap clock, when there is no ticker
    qint64 m_longestGapMs = 0;
    bool m_abandoned = false;

    std::atomic<bool> m_due{false};
    std::mutex m_mutex;
    std::condition_variable m_restarted;
    Clock::time_point m_dueAt; // guarded by m_mutex
    bool m_stopping = false;   // guarded by m_mutex
    std::thread m_ticker;      // none when the system would not make one
};

} // namespace pq
