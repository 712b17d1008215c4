#pragma once

#include <functional>

// Ends the process at once, from anywhere, a running motor loop included:
// no event handler, destructor or atexit routine runs afterwards. The one
// thing that must still happen (releasing the port and completing its trace)
// is registered as the shutdown action. Or stops it until it is continued.
class ProcessControl final
{
public:
    void setShutdownAction(std::function<void()> action);

    [[noreturn]] void endNow();

    // Stops the whole process with SIGSTOP, which nothing can catch, so the
    // shell that sent the stop request sees it stopped; returns on SIGCONT.
    void stopUntilContinued();

private:
    std::function<void()> m_shutdown;
};
