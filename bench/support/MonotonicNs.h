#pragma once

#include <cstdint>
#include <ctime>

// CLOCK_MONOTONIC in nanoseconds: a vDSO read, no system call, so it can sit
// inside the step loop without becoming the thing measured.
inline std::uint64_t monotonicNs()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1'000'000'000u
           + static_cast<std::uint64_t>(now.tv_nsec);
}

// CPU time this thread has run, in nanoseconds. A system call here, so only
// around long stretches: wall time minus this is time the machine gave to
// other processes.
inline std::uint64_t threadCpuNs()
{
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1'000'000'000u
           + static_cast<std::uint64_t>(now.tv_nsec);
}
