#pragma once

// Seconds since midnight, single precision, as the start-up measurement reads it.
class IClock
{
public:
    virtual ~IClock() = default;
    virtual float secondsSinceMidnight() = 0;
};
