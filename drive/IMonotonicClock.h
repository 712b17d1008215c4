#pragma once

#include <cstdint>

// What the run loop needs to pace its steps: a clock that never goes back,
// in nanoseconds since an arbitrary epoch. Read a few times per step, so an
// implementation must not allocate, block or log.
class IMonotonicClock
{
public:
    virtual ~IMonotonicClock() = default;
    virtual std::int64_t nanoseconds() = 0;
};
