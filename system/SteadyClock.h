#pragma once

#include "IMonotonicClock.h"

#include <cstdint>

// The monotonic clock the motor's steps are paced against (CLOCK_MONOTONIC
// on Linux): it does not jump when the wall-clock time is set, and reading it
// is a vDSO call of some 20 ns, with no system call and nothing to fail.
class SteadyClock final : public IMonotonicClock
{
public:
    std::int64_t nanoseconds() override { return now(); }
    // For a reader that stands in front of it (the benchmarks' clock) and
    // must not pay a virtual call to reach it.
    static std::int64_t now();
};
