#include "BusyProcesses.h"

#include "MonotonicNs.h"

#include <csignal>
#include <cstdio>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

[[noreturn]] void spinUntil(std::uint64_t endNs)
{
    volatile std::uint64_t spins = 0;
    while (monotonicNs() < endNs)
        for (int k = 0; k < 10000; ++k)
            spins = spins + 1;
    ::_exit(0);
}

// Runs in the leader: it only starts the others and waits.
[[noreturn]] void lead(int count, std::uint64_t endNs, BusyProcesses::Session session)
{
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (session == BusyProcesses::Session::Own)
        ::setsid();
    else
        ::setpgid(0, 0);
    for (int i = 0; i < count; ++i) {
        const pid_t child = ::fork();
        if (child == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            spinUntil(endNs);
        }
        if (child < 0)
            std::perror("step_timing: fork");
    }
    while (::wait(nullptr) > 0) {
    }
    ::_exit(0);
}

} // namespace

BusyProcesses::BusyProcesses(int count, double seconds, Session session)
{
    const std::uint64_t endNs = monotonicNs() + static_cast<std::uint64_t>(seconds * 1e9);
    std::fflush(nullptr); // the children must not write the bench's buffers again
    m_leader = ::fork();
    if (m_leader == 0)
        lead(count, endNs, session);
    if (m_leader < 0)
        std::perror("step_timing: fork");
    else
        m_count = count;
}

BusyProcesses::~BusyProcesses()
{
    stop();
}

// The whole group at once; the leader alone if it has not made one yet.
// (A group of its own in the shared session too, so this reaches no other.)
void BusyProcesses::stop()
{
    if (m_leader <= 0)
        return;
    ::kill(-m_leader, SIGKILL);
    ::kill(m_leader, SIGKILL);
    ::waitpid(m_leader, nullptr, 0);
    m_leader = -1;
    m_count = 0;
}
