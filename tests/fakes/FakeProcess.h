#pragma once

#include "IProcessControl.h"

#include <QtGlobal>
#include <functional>

struct ProcessEnded
{
};

// The process the tool ends or stops. Ending runs `onEnd` (which may end a
// forked child for real), then throws ProcessEnded, so a test sees what the
// tool did up to there; a stop runs `onStop` in place of the stopped time.
// A forbidden() process fails the test at either: the in-process tests of
// the windows never reach them.
class FakeProcess : public IProcessControl
{
public:
    static FakeProcess forbidden()
    {
        FakeProcess process;
        process.onEnd = [] { qFatal("the tool ended the process unexpectedly"); };
        process.onStop = [] { qFatal("the tool stopped the process unexpectedly"); };
        return process;
    }

    [[noreturn]] void endNow() override
    {
        if (onEnd)
            onEnd();
        throw ProcessEnded{};
    }
    void stopUntilContinued() override
    {
        ++stops;
        if (onStop)
            onStop();
    }

    std::function<void()> onEnd;
    std::function<void()> onStop;
    int stops = 0;
};
