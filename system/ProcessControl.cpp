#include "ProcessControl.h"

#include <csignal>
#include <cstdio>
#include <unistd.h>
#include <utility>

void ProcessControl::setShutdownAction(std::function<void()> action)
{
    m_shutdown = std::move(action);
}

void ProcessControl::endNow()
{
    // Taken out first so that a shutdown action which itself ends the
    // process cannot run twice.
    auto shutdown = std::exchange(m_shutdown, nullptr);
    if (shutdown)
        shutdown();
    // _exit skips stdio's buffers; a message printed just before must not be lost.
    std::fflush(nullptr);
    ::_exit(0);
}

void ProcessControl::setStopAction(std::function<void()> action)
{
    m_beforeStop = std::move(action);
}

void ProcessControl::stopUntilContinued()
{
    if (m_beforeStop)
        m_beforeStop();
    ::raise(SIGSTOP);
}
