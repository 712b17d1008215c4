#include "MeasureLoopRate.h"

#include "DriveState.h"
#include "SpinLoop.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kFirstBound = 49999999.0;

// A native loop runs 49,999,999 iterations in a few hundredths of a second,
// while a single-precision seconds-since-midnight reading resolves 1/256 to
// 1/128 s: one short round would miss the rate by tens of percent. Rounds
// shorter than kLongEnough are repeated with a bound sized to last kTarget.
constexpr float kLongEnough = 2.0f;
constexpr double kTarget = 2.5;

// A stuck or broken clock must not hold start-up: at most this many rounds,
// a bound no larger than this, and this many rounds that saw no time pass.
constexpr int kMaxRounds = 6;
constexpr double kMaxBound = 2.0e10;
constexpr int kMaxZeroRounds = 3;

constexpr float kDay = 86400.0f;
constexpr float kHalfDay = kDay / 2;

// The clock restarts at 0 at midnight. A reading that went back by more than
// half a day crossed midnight; one that went back by less, or one that is no
// number at all, is a clock fault, and no time is taken to have passed.
float elapsedSeconds(float start, float end)
{
    if (end < start - kHalfDay)
        end += kDay;
    const float elapsed = end - start;
    return std::isfinite(elapsed) && elapsed > 0.0f ? elapsed : 0.0f;
}

// The smallest step the clock can show at this reading; a millisecond at
// least, since no platform clock ticks finer than that.
float oneTick(float reading)
{
    const float ulp = std::nextafter(std::fabs(reading), INFINITY) - std::fabs(reading);
    return std::max(ulp, 0.001f);
}

} // namespace

void MeasureLoopRate(DriveState &state, IClock &clock, IBusyWait &wait)
{
    double bound = kFirstBound;
    int zeroRounds = 0;
    for (int round = 1;; ++round) {
        const float start = clock.secondsSinceMidnight();
        wait.spin(bound);
        const float end = clock.secondsSinceMidnight();
        float elapsed = elapsedSeconds(start, end);
        if (elapsed == 0.0f)
            ++zeroRounds;

        const bool giveUp = round >= kMaxRounds || bound >= kMaxBound || zeroRounds >= kMaxZeroRounds;
        if (elapsed >= kLongEnough || giveUp) {
            if (elapsed == 0.0f)
                elapsed = oneTick(std::isfinite(end) ? end : 0.0f);
            state.LoopsPerSec = bound / static_cast<double>(elapsed);
            return;
        }
        const double next = elapsed > 0.0f ? std::floor(bound * kTarget / elapsed) : bound * 10;
        bound = std::min(next, kMaxBound);
    }
}
