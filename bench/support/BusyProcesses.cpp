#include "BusyProcesses.h"

#include "MonotonicNs.h"

#include <csignal>
#include <cstdio>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

BusyProcesses::BusyProcesses(int count, double seconds)
{
    const std::uint64_t endNs = monotonicNs() + static_cast<std::uint64_t>(seconds * 1e9);
    std::fflush(nullptr); // the children must not write the bench's buffers again
    for (int i = 0; i < count; ++i) {
        const pid_t child = ::fork();
        if (child == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            volatile std::uint64_t spins = 0;
            while (monotonicNs() < endNs)
                for (int k = 0; k < 10000; ++k)
                    spins = spins + 1;
            ::_exit(0);
        }
        if (child > 0)
            m_children.push_back(child);
        else
            std::perror("step_timing: fork");
    }
}

BusyProcesses::~BusyProcesses()
{
    stop();
}

void BusyProcesses::stop()
{
    for (pid_t child : m_children)
        ::kill(child, SIGKILL);
    for (pid_t child : m_children)
        ::waitpid(child, nullptr, 0);
    m_children.clear();
}
