#pragma once

#include "IClock.h"

// Wall-clock seconds since local midnight, with the milliseconds as the
// fraction. It restarts at 0 at midnight: whoever measures with it must
// expect an end reading below the start reading.
class SystemClock final : public IClock
{
public:
    float secondsSinceMidnight() override;
};
