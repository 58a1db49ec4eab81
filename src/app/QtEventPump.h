#pragma once

#include "platform/EventPump.h"

#include <QElapsedTimer>

#include <algorithm>

namespace pq {

// Lets Qt dispatch pending events, but only when ~15 ms passed since the last dispatch, so
// millions of yields cost next to nothing (one read of a coarse clock) while the window
// still repaints ~60 times a second. Once `abandonCommands` was called, every yield throws
// CommandAbandoned.
class QtEventPump : public EventPump
{
public:
    QtEventPump();
    void yield() override;
    bool dispatchDue() const override;
    void abandonCommands() override { m_abandoned = true; }

    // The longest time between two dispatches seen so far, in milliseconds.
    // The gap still open at this moment counts too.
    qint64 longestGapMs() const { return std::max(m_longestGapMs, m_sinceDispatch.elapsed()); }
    void resetLongestGap();

private:
    void restartGap();

    QElapsedTimer m_sinceDispatch;
    qint64 m_lastDispatchMs = 0;
    qint64 m_longestGapMs = 0;
    bool m_abandoned = false;
};

} // namespace pq
