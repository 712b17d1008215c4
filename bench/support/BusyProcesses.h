#pragma once

#include <sys/types.h>

// Other work on the machine, as a shared desktop has it: a build started in
// another terminal, say. Child processes that each spin a processor at the
// default priority, all in one session of their own, so that the kernel
// weighs them against the bench as it weighs another session's programs
// against the tool. Each ends by itself after `seconds` and with the bench
// if it dies; stop() ends them sooner.
class BusyProcesses
{
public:
    BusyProcesses(int count, double seconds);
    ~BusyProcesses();
    BusyProcesses(const BusyProcesses &) = delete;
    BusyProcesses &operator=(const BusyProcesses &) = delete;

    void stop();
    int count() const { return m_count; }

private:
    pid_t m_leader = -1; // the session's, and its process group's
    int m_count = 0;
};
