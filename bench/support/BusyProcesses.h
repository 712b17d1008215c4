#pragma once

#include <sys/types.h>

// Other work on the machine, as a shared desktop has it: child processes
// that each spin a processor at the default priority. With autogroups on,
// the kernel shares a processor between sessions first, so where they run
// matters: in a session of their own (a build started in another terminal)
// or in the bench's (one started from the same shell as the tool). Each
// ends by itself after `seconds` and with the bench if it dies; stop() ends
// them sooner.
class BusyProcesses
{
public:
    enum class Session { Own, Shared };

    BusyProcesses(int count, double seconds, Session session = Session::Own);
    ~BusyProcesses();
    BusyProcesses(const BusyProcesses &) = delete;
    BusyProcesses &operator=(const BusyProcesses &) = delete;

    void stop();
    int count() const { return m_count; }

private:
    pid_t m_leader = -1; // the one that starts the others, and their process group's leader
    int m_count = 0;
};
