#pragma once

namespace pq {

// Lets the event loop run between two steps of a long command, so the window repaints
// and other commands can run meanwhile. May throw CommandAbandoned when the window closed.
class EventPump
{
public:
    virtual ~EventPump() = default;
    virtual void yield() = 0;
    // From now on every yield throws CommandAbandoned: the window is closing.
    virtual void abandonCommands() {}
};

} // namespace pq
