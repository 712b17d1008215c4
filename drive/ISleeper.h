#pragma once

// Blocks the calling thread.
class ISleeper
{
public:
    virtual ~ISleeper() = default;
    virtual void sleepMs(int milliseconds) = 0;
};
