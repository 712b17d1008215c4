#pragma once

#include "IProcessControl.h"

#include <functional>

// Ends the process at once, from anywhere, a running motor loop included:
// no event handler, destructor or atexit routine runs afterwards. The one
// thing that must still happen (releasing the port and completing its trace)
// is registered as the shutdown action. Or stops it until it is continued.
class ProcessControl final : public IProcessControl
{
public:
    void setShutdownAction(std::function<void()> action);

    [[noreturn]] void endNow() override;

    // What must be settled before the process sits stopped: nothing runs
    // while it does, timers included.
    void setStopAction(std::function<void()> action);

    // Stops the whole process with SIGSTOP, which nothing can catch, so the
    // shell that sent the stop request sees it stopped; returns on SIGCONT.
    void stopUntilContinued() override;

private:
    std::function<void()> m_shutdown;
    std::function<void()> m_beforeStop;
};
