#pragma once

#include "ISleeper.h"

// Blocks the user-interface thread: no event runs and no window repaints
// until it returns, which is what the start-up pause relies on.
class ThreadSleeper final : public ISleeper
{
public:
    void sleepMs(int milliseconds) override;
};
