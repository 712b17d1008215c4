#include "StepPacer.h"

#include <algorithm>
#include <cmath>

namespace {

// Long enough that the clock reads (some 20 ns each) cost nothing worth
// counting, short enough that a processor slowing down within one chunk
// cannot carry a step far past its deadline. Near the deadline each chunk
// covers half of what is left, so a step goes within a few tens of ns.
constexpr double kMaxChunkNs = 20'000.0;

// The loop's speed is taken only from stretches meant to last this long: in
// the short chunks near a deadline the clock reads themselves would be most
// of the time measured, and the speed would come out far too low. The loop
// count that stands in for a stopped clock would then run the steps fast.
constexpr double kMeasureNs = 2'000.0;

// What a one-instruction counted loop can run: from a slow emulator up to
// several iterations per cycle of the fastest processor. A seed outside is a
// broken measurement; the low bound is the safe side, since a chunk that is
// too short only costs one more clock read, one that is too long overshoots.
constexpr double kMinLoopsPerNs = 1e-4;
constexpr double kMaxLoopsPerNs = 20.0;

double plausible(double loopsPerNs)
{
    return std::clamp(loopsPerNs, kMinLoopsPerNs, kMaxLoopsPerNs);
}

double seed(double loopsPerSec)
{
    return std::isfinite(loopsPerSec) && loopsPerSec > 0 ? plausible(loopsPerSec / 1e9) : kMinLoopsPerNs;
}

} // namespace

StepPacer::StepPacer(IMonotonicClock &clock, IBusyWait &wait, double loopsPerSec)
    : m_clock(clock), m_wait(wait), m_loopsPerNs(seed(loopsPerSec))
{
    m_stepAtNs = m_clock.nanoseconds();
    m_dueNs = static_cast<double>(m_stepAtNs);
}

void StepPacer::waitForStep(int stepSec)
{
    const double periodNs = 1e9 / std::max(stepSec, 1);
    const std::int64_t now = m_clock.nanoseconds();
    scheduleNext(periodNs, now);
    m_blind = false;
    m_stepAtNs = spinUntilDue(now);
}

// A clock that went back since the wait ended gives no usable time for this
// step: the schedule restarts from the next wait's first reading.
void StepPacer::stepMade()
{
    const std::int64_t now = m_clock.nanoseconds();
    if (now < m_stepAtNs)
        m_blind = true;
    m_stepAtNs = now;
}

// The previous step was due at m_dueNs and went at m_stepAtNs. The debt
// carried over is capped at MaxDebtShare of the new period, and the step
// goes no sooner than the floor after the last one: both bounds are taken
// from the new period, so that a faster speed set mid-run cannot let the old
// debt squeeze its intervals or stretch its catching up.
void StepPacer::scheduleNext(double periodNs, std::int64_t now)
{
    if (m_blind || now < m_stepAtNs) {
        m_stepAtNs = now;
        m_dueNs = static_cast<double>(now);
    } else {
        m_dueNs = std::max(m_dueNs, static_cast<double>(m_stepAtNs) - periodNs * MaxDebtShare);
    }
    m_dueNs += periodNs;
    m_goNs = std::max(m_dueNs, static_cast<double>(m_stepAtNs) + periodNs * FloorShare);
}

// Each time the clock moves, the loops spun since it last moved give the
// loop's current speed. While it does not move, those loops are counted as
// time, and the wait ends once they cover what was left at the last reading.
// A seed far too low grows a hundredfold or more per chunk, since a chunk is
// meant to last kMaxChunkNs, and the clock reads cap what it can measure.
std::int64_t StepPacer::spinUntilDue(std::int64_t now)
{
    double spun = 0;
    while (static_cast<double>(now) < m_goNs) {
        const double leftNs = m_goNs - static_cast<double>(now);
        const double loops = std::floor(std::max(1.0, std::min(leftNs / 2, kMaxChunkNs) * m_loopsPerNs));
        m_wait.spin(loops);
        spun += loops;
        const std::int64_t after = m_clock.nanoseconds();
        if (after > now) {
            if (spun / m_loopsPerNs >= kMeasureNs)
                m_loopsPerNs = plausible(spun / static_cast<double>(after - now));
            now = after;
            spun = 0;
        } else if (spun / m_loopsPerNs >= leftNs) {
            m_blind = true;
            break;
        }
    }
    return now;
}
