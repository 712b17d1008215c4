#pragma once

#include <cstdint>

class QString;

// The narrow interfaces through which everything above platform/ reaches the
// machine. Production implementations live in this folder; tests supply fakes.

// The one port operation the tool needs: put a byte into an I/O port's data
// register. `port` is a signed 16-bit value whose bit pattern is the port
// number, as the address box's literal gives it.
class IPort
{
public:
    virtual ~IPort() = default;
    virtual void Out32(std::int16_t port, std::int16_t value) = 0;
};

// Seconds since midnight, single precision, as the start-up measurement reads it.
class IClock
{
public:
    virtual ~IClock() = default;
    virtual float secondsSinceMidnight() = 0;
};

// Lets every pending window event run once, returning when the queue is empty.
class IEventPump
{
public:
    virtual ~IEventPump() = default;
    virtual void processPendingEvents() = 0;
};

// Blocks the calling thread.
class ISleeper
{
public:
    virtual ~ISleeper() = default;
    virtual void sleepMs(int milliseconds) = 0;
};

// Ends the process at once: no further handler runs and no loop resumes.
class IProcessControl
{
public:
    virtual ~IProcessControl() = default;
    [[noreturn]] virtual void endNow() = 0;
};

// Hands a document or address to the desktop; failures are swallowed.
class IShell
{
public:
    virtual ~IShell() = default;
    virtual void open(const QString &target) = 0;
};
