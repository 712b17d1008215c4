#pragma once

#include "DriveState.h"
#include "EnergizedPorts.h"
#include "IEventPump.h"
#include "IMonotonicClock.h"
#include "IPort.h"
#include "IProcessControl.h"
#include "IRunPriority.h"
#include "IRunButtons.h"
#include "ISpeedDisplay.h"
#include "SpinLoop.h"

// The motor drive's operations, as the main window's handlers call them.
// Everything it touches outside DriveState arrives through interfaces, so the
// run loop can be stepped, stopped, closed and timed from tests. Steps are
// paced against the clock; the busy wait between clock reads is SpinLoop
// unless a test hands in one that spends virtual time instead. The stepping
// thread's priority is raised for as long as a run lasts.
class MotorDrive
{
public:
    MotorDrive(DriveState &state, ModeFlags &modes, IPort &port, IEventPump &pump,
               IRunButtons &buttons, ISpeedDisplay &display, IProcessControl &process,
               IMonotonicClock &clock, IBusyWait &wait = spinLoopWait(),
               IRunPriority &priority = unchangedPriority());

    DriveState &state() { return m_state; }
    ModeFlags &modes() { return m_modes; }

    void InitDrive(const QString &addressBoxText);
    void SetPortAddress(const QString &text);
    void SendPort();

    void RunMotor();
    void StopMotor();
    [[noreturn]] void CloseProgram();
    // What CloseProgram writes, without ending the process: for an end that
    // is already under way and must not be turned into another one.
    void switchOff();
    // What CloseProgram writes, then the process stops until it is
    // continued, its priority given back meanwhile; a run under way then
    // goes on from the step it had reached.
    void stopProcess();
    void SelectMode(int index);

    void StepSpeed(int index);
    void ShowSpeed();

private:
    DriveState &m_state;
    ModeFlags &m_modes;
    IPort &m_port;
    IEventPump &m_pump;
    IRunButtons &m_buttons;
    ISpeedDisplay &m_display;
    IProcessControl &m_process;
    IMonotonicClock &m_clock;
    IBusyWait &m_wait;
    IRunPriority &m_priority;
    EnergizedPorts m_energized;
    int m_runDepth = 0;
    bool m_priorityRaised = false;

    class RunHold;
    void releasePriority();

    void setPhaseLines(int phase);
    void switchOffStrayPorts();
};
