#pragma once

#include <cstdint>

// The monotonic clock the motor's steps are paced against (CLOCK_MONOTONIC
// on Linux): it does not jump when the wall-clock time is set, and reading it
// is a vDSO call of some 20 ns, with no system call and nothing to fail.
class SteadyClock
{
public:
    static std::int64_t nanoseconds();
};
