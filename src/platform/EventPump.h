#pragma once

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
};

} // namespace pq
