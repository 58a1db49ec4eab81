#pragma once

#include <functional>
#include <vector>

namespace pq {

// Lets the event loop run between two steps of a long command, so the window repaints
// and other commands can run meanwhile. May throw CommandAbandoned when the window closed.
class EventPump
{
public:
    virtual ~EventPump() = default;
    virtual void yield() = 0;
    // Whether the next yield will let the window repaint. Commands may skip preparing what
    // only a repaint would show (a progress text) when it will not.
    virtual bool dispatchDue() const { return true; }
    // From now on every yield throws CommandAbandoned: the window is closing.
    virtual void abandonCommands() {}

    // Waits a command registers for work of its own on other threads that reads what other
    // commands may change: each pump calls them before it lets any event, and so any
    // command, run. See WaitBeforeDispatch.
    void addWaitBeforeDispatch(const std::function<void()>* wait) { m_waits.push_back(wait); }
    void removeWaitBeforeDispatch(const std::function<void()>* wait);

protected:
    void waitBeforeDispatch() const;

private:
    std::vector<const std::function<void()>*> m_waits;
};

// While it lives, every dispatch of the pump first calls `wait`.
class WaitBeforeDispatch
{
public:
    WaitBeforeDispatch(EventPump& pump, std::function<void()> wait)
        : m_pump(pump), m_wait(std::move(wait))
    {
        m_pump.addWaitBeforeDispatch(&m_wait);
    }
    WaitBeforeDispatch(const WaitBeforeDispatch&) = delete;
    WaitBeforeDispatch& operator=(const WaitBeforeDispatch&) = delete;
    ~WaitBeforeDispatch() { m_pump.removeWaitBeforeDispatch(&m_wait); }

private:
    EventPump& m_pump;
    const std::function<void()> m_wait;
};

} // namespace pq
