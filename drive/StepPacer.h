#pragma once

#include "IBusyWait.h"
#include "IMonotonicClock.h"

#include <cstdint>

// Paces one run of the motor: each step falls due one period (1/StepSec,
// read afresh at every step) after the previous step's deadline, on the
// monotonic clock. The wait between two steps is still SpinLoop, spun in
// short chunks sized from the loop's speed as last seen, with the clock read
// between chunks. So neither a processor that changed speed since the
// start-up measurement, nor the event pass, nor the port write moves the
// rate; only the clock does.
//
// Guarantees, whatever the clock and the loop do:
// - a step up to a quarter of the new period late is caught up on the next
//   interval; a later one is paid back a quarter period an interval, so the
//   motor keeps its mean speed through the short stops a busy or virtual
//   machine gives every thread, which at the top speeds come hundreds of
//   times a second and each last a good part of a period;
// - the debt carried is at most one period (MaxDebtShare) of the new speed:
//   beyond it the time is given up, so a long hold-up is followed by at most
//   four quickened steps, never a burst;
// - no interval is shorter than three quarters of the period;
// - no wait lasts longer than one period by the clock, or, where the clock
//   shows no time passing, one period by the loop's speed as last seen. The
//   event pass then still runs once per period, and "Stop" and "Chiudi" work.
//   A step made that way was timed by the loop alone: the schedule restarts
//   from the clock's next reading, so a clock that resumes, or that went
//   back, cannot make the next steps come early.
class StepPacer
{
public:
    static constexpr double CatchUpShare = 0.25;
    static constexpr double FloorShare = 1.0 - CatchUpShare;
    static constexpr double MaxDebtShare = 1.0;

    // The first step falls due one period after this. `loopsPerSec` seeds
    // the speed estimate; one that is no number, not positive or far outside
    // what a counted loop can run is replaced by a safe bound.
    StepPacer(IMonotonicClock &clock, IBusyWait &wait, double loopsPerSec);

    // Returns when the next step at `stepSec` steps per second is due.
    void waitForStep(int stepSec);

    // Called once the step's byte is written. The schedule goes by this
    // reading, not by the one that ended the wait: a step whose write came
    // late (the process was preempted in between) counts as late, so the
    // next one cannot follow it closer than the floor.
    void stepMade();

private:
    void scheduleNext(double periodNs, std::int64_t now);
    std::int64_t spinUntilDue(std::int64_t now);

    IMonotonicClock &m_clock;
    IBusyWait &m_wait;
    double m_loopsPerNs;
    double m_dueNs;          // on the schedule; a double: a rounded period would drift by up to 0.5 ns a step
    double m_goNs = 0;       // when the step goes: its deadline, or the floor after a late step
    std::int64_t m_stepAtNs; // the reading just after the last step's write
    bool m_blind = false;    // the last step was let go by the loop count alone
};
