#pragma once

#include "DesktopShell.h"
#include "IClock.h"
#include "IEventPump.h"
#include "IPort.h"
#include "IProcessControl.h"
#include "IRunPriority.h"
#include "IShell.h"
#include "ISleeper.h"
#include "PortAccess.h"
#include "ProcessControl.h"
#include "QtEventPump.h"
#include "SystemClock.h"
#include "ThreadPriority.h"
#include "ThreadSleeper.h"

// The port access and the process services know nothing of the interfaces
// the drive, the start-up sequence and the windows take; these hand each
// call straight on. The port and event-pass calls run once per motor step:
// one virtual call more than a service that implemented the interface
// itself, and nothing else.
namespace Adapters {

class Port final : public IPort
{
public:
    explicit Port(PortAccess &port) : m_port(port) {}
    void Out32(std::int16_t port, std::int16_t value) override { m_port.Out32(port, value); }

private:
    PortAccess &m_port;
};

class EventPump final : public IEventPump
{
public:
    explicit EventPump(QtEventPump &pump) : m_pump(pump) {}
    void processPendingEvents() override { m_pump.processPendingEvents(); }

private:
    QtEventPump &m_pump;
};

class Process final : public IProcessControl
{
public:
    explicit Process(ProcessControl &process) : m_process(process) {}
    [[noreturn]] void endNow() override { m_process.endNow(); }
    void stopUntilContinued() override { m_process.stopUntilContinued(); }

private:
    ProcessControl &m_process;
};

class Clock final : public IClock
{
public:
    explicit Clock(SystemClock &clock) : m_clock(clock) {}
    float secondsSinceMidnight() override { return m_clock.secondsSinceMidnight(); }

private:
    SystemClock &m_clock;
};

class Sleeper final : public ISleeper
{
public:
    explicit Sleeper(ThreadSleeper &sleeper) : m_sleeper(sleeper) {}
    void sleepMs(int milliseconds) override { m_sleeper.sleepMs(milliseconds); }

private:
    ThreadSleeper &m_sleeper;
};

class Shell final : public IShell
{
public:
    explicit Shell(DesktopShell &shell) : m_shell(shell) {}
    void open(const QString &target) override { m_shell.open(target); }

private:
    DesktopShell &m_shell;
};

class Priority final : public IRunPriority
{
public:
    explicit Priority(ThreadPriority &priority) : m_priority(priority) {}
    void raiseForRun() override { m_priority.raise(); }
    void restoreAfterRun() override { m_priority.restore(); }

private:
    ThreadPriority &m_priority;
};

} // namespace Adapters
