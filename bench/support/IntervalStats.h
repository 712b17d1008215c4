#pragma once

#include <cstdint>
#include <span>
#include <vector>

// One run at a requested rate, from the stamps of its port writes and of the
// event passes that preceded them (pass k ends just before write k's wait).
struct StepTiming
{
    double requested = 0;      // steps per second
    std::size_t steps = 0;
    double meanRate = 0;       // (steps - 1) / time from first to last write
    double rateErrorPct = 0;   // signed: negative is slower than requested
    double medianUs = 0;       // of |interval - 1/requested|
    double p99Us = 0;
    double maxUs = 0;
    double shortestShare = 0;  // the shortest interval as a share of the period
    double outsideShare = 0;   // of the period spent outside the wait; NaN without pass stamps
    double cpuShare = 0;       // of the run's wall time this thread was running
    double slowPassesPerSec = 0; // passes that took over kSlowPassNs, per second of the run
    double slowPassMedianUs = 0; // how long those took
    double loopsFactor = 1;    // the LoopsPerSec the run was given, over the measured one
};

// A pass this long is more than its own bookkeeping: something ran in it.
inline constexpr double kSlowPassNs = 10'000.0;

// Needs at least two writes; fewer give a zero-filled result.
StepTiming summariseRun(std::span<const std::uint64_t> writeNs,
                        std::span<const std::uint64_t> passEndNs, double requested);

// Intervals between consecutive stamps, in nanoseconds.
std::vector<double> intervalsNs(std::span<const std::uint64_t> stampsNs);

// Nearest-rank percentile (p in 0..100) of an unsorted set; 0 when empty.
// Nearest rank rather than interpolation, so every figure is one that a
// step really showed.
double percentile(std::vector<double> values, double p);

// max/min - 1, in percent; 0 for fewer than two values or a non-positive minimum.
double spreadPct(std::span<const double> values);
