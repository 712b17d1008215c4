#pragma once

#include "ISchedulingCalls.h"

// The calls themselves: gettid, getpriority/setpriority on the thread,
// getrlimit(RLIMIT_NICE), sched_setscheduler with SCHED_RESET_ON_FORK,
// and /proc/self/autogroup.
class KernelScheduling final : public ISchedulingCalls
{
public:
    long currentThread() override;
    int niceOf(long thread, int &nice) override;
    int setNice(long thread, int nice) override;
    int lowestNiceAllowed() override;
    int keepFromChildren(long thread) override;
    QString userName() override;
    int autogroupNice(int &nice) override;
    int setAutogroupNice(int nice) override;
};
