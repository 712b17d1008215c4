#pragma once

#include <sys/types.h>
#include <vector>

// Other work on the machine, as a shared desktop has it: child processes
// that each spin a processor at the default priority. Each ends by itself
// after `seconds` and with the bench if it dies; stop() ends them sooner.
class BusyProcesses
{
public:
    BusyProcesses(int count, double seconds);
    ~BusyProcesses();
    BusyProcesses(const BusyProcesses &) = delete;
    BusyProcesses &operator=(const BusyProcesses &) = delete;

    void stop();
    int count() const { return static_cast<int>(m_children.size()); }

private:
    std::vector<pid_t> m_children;
};
