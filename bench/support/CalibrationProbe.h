#pragma once

#include "IClock.h"

#include <vector>

// One run of the tool's own MeasureLoopRate against the tool's own clock,
// with each clock reading also stamped on CLOCK_MONOTONIC. The last two
// readings bracket the round whose figure was kept, so the same round can be
// timed to the nanosecond: the gap between the two rates is what the
// seconds-since-midnight clock's resolution cost this measurement.
struct Calibration
{
    double loopsPerSec = 0;     // what MeasureLoopRate stored
    double monotonicRate = 0;   // the kept round's iterations over its CLOCK_MONOTONIC time
    double cpuRate = 0;         // the same over the CPU time the thread got: the loop's own speed
    double seconds = 0;         // wall time of the whole measurement, all rounds
};

Calibration calibrateOnce(IClock &toolClock);

std::vector<double> loopRates(const std::vector<Calibration> &runs);
std::vector<double> monotonicRates(const std::vector<Calibration> &runs);
