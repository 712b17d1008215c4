#pragma once

#include <functional>

// Ends the process at once, from anywhere, a running motor loop included:
// no event handler, destructor or atexit routine runs afterwards. The one
// thing that must still happen (releasing the port and completing its trace)
// is registered as the shutdown action.
class ProcessControl final
{
public:
    void setShutdownAction(std::function<void()> action);

    [[noreturn]] void endNow();

private:
    std::function<void()> m_shutdown;
};
