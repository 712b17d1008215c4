#pragma once

// Lets every pending window event run once, returning when the queue is empty.
class IEventPump
{
public:
    virtual ~IEventPump() = default;
    virtual void processPendingEvents() = 0;
};
