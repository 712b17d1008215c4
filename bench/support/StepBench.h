#pragma once

#include "DriveState.h"
#include "Form1.h"
#include "IntervalStats.h"
#include "MotorDrive.h"
#include "IPort.h"
#include "IProcessControl.h"
#include "IShell.h"
#include "StampingPort.h"
#include "StampingPump.h"

#include <memory>

class QPushButton;

// The tool as the user runs it, minus the hardware: the real main window,
// its "Start" button, the real RunMotor and Qt's event pass, writing to a
// port that stamps each step. Create it after the application.
class StepBench
{
public:
    explicit StepBench(double loopsPerSec);
    ~StepBench();

    // Sets the speed, clicks "Start" and returns once `steps` steps are made.
    StepTiming runAt(int stepSec, std::size_t steps);

    // The loop's own speed: a bound below 1, so SpinLoop does not wait at
    // all. Returns the intervals between writes, in ns.
    std::vector<double> runUnpaced(std::size_t steps);

    // The same steps through the same loop and window, paced by DeadlineWait.
    StepTiming runAgainstDeadlines(int stepSec, std::size_t steps);

    // A drive of the bench's window on another state or port, or with
    // another wait; the bench must outlive it.
    std::unique_ptr<MotorDrive> driveOn(DriveState &state, ModeFlags &modes, IPort &port,
                                        void (*wait)(double));

    DriveState &state() { return m_state; }
    StampingPump &pump() { return m_pump; }
    StampingPort &port() { return m_port; }

private:
    // Lets the repaint and any timer the last run left behind go by before
    // the next run starts, so no run inherits another's backlog.
    void settle();

    DriveState m_state;
    StampingPort m_port;
    StampingPump m_pump;
    std::unique_ptr<IProcessControl> m_process;
    std::unique_ptr<IShell> m_shell;
    std::unique_ptr<Form1> m_form;
    QPushButton *m_start = nullptr;
};
