#pragma once

#include "DriveState.h"
#include "Form1.h"
#include "IMonotonicClock.h"
#include "IntervalStats.h"
#include "IPort.h"
#include "IProcessControl.h"
#include "IShell.h"
#include "MotorDrive.h"
#include "StampingPort.h"
#include "StampingPump.h"
#include "SteadyClock.h"

#include <memory>

class MonitorWindow;
class QPushButton;

// The shipped clock; or, for the unpaced run, one that jumps a second at
// every reading, so each step is due at once and the run shows the loop's
// own cost.
class BenchClock final : public IMonotonicClock
{
public:
    std::int64_t nanoseconds() override
    {
        return m_racing ? (m_racingNs += 1'000'000'000) : SteadyClock::now();
    }
    void setRacing(bool racing) { m_racing = racing; }

private:
    bool m_racing = false;
    std::int64_t m_racingNs = 0;
};

// The tool as the user runs it, minus the hardware: the real main window,
// its "Start" button, the real RunMotor and Qt's event pass, writing to a
// port that stamps each step. Create it after the application.
class StepBench
{
public:
    // `priority` is what the window's drive asks at each run's start and end.
    explicit StepBench(double loopsPerSec, IRunPriority &priority = unchangedPriority());
    ~StepBench();

    // Sets the speed, clicks "Start" and returns once `steps` steps are made.
    StepTiming runAt(int stepSec, std::size_t steps);

    // The loop's own speed: every step due at once, so nothing is waited
    // for. Returns the intervals between writes, in ns.
    std::vector<double> runUnpaced(std::size_t steps);

    // A drive of the bench's window on another state or port, or with
    // another wait; the bench must outlive it.
    std::unique_ptr<MotorDrive> driveOn(DriveState &state, ModeFlags &modes, IPort &port,
                                        IBusyWait &wait);

    // Opens the live view of the outputs beside the main window, as
    // --monitor does, or closes and destroys it.
    void setMonitor(bool open);
    const MonitorWindow *monitor() const { return m_monitor.get(); }

    DriveState &state() { return m_state; }
    StampingPump &pump() { return m_pump; }
    StampingPort &port() { return m_port; }

private:
    // Lets the repaint and any timer the last run left behind go by before
    // the next run starts, so no run inherits another's backlog.
    void settle();

    DriveState m_state;
    BenchClock m_clock;
    StampingPort m_port;
    StampingPump m_pump;
    std::unique_ptr<IProcessControl> m_process;
    std::unique_ptr<IShell> m_shell;
    std::unique_ptr<Form1> m_form;
    SteadyClock m_monitorClock;
    std::unique_ptr<MonitorWindow> m_monitor;
    QPushButton *m_start = nullptr;
};
