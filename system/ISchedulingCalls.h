#pragma once

#include <QString>

// The kernel's scheduling calls on one thread, as the priority service
// makes them; tests replace them. Threads are kernel thread ids (gettid),
// the only ids setpriority and RealtimeKit take for a single thread. Calls
// that can fail return 0 or the errno they failed with.
class ISchedulingCalls
{
public:
    virtual ~ISchedulingCalls() = default;
    virtual long currentThread() = 0;
    virtual int niceOf(long thread, int &nice) = 0;
    virtual int setNice(long thread, int nice) = 0;
    // The lowest nice level RLIMIT_NICE lets this process set without
    // CAP_SYS_NICE (20 minus the soft limit, as pam_limits gives it).
    virtual int lowestNiceAllowed() = 0;
    // Programs this thread starts begin at the default priority, not at its own.
    virtual int keepFromChildren(long thread) = 0;
    // The group an administrator would name in limits.d for this user.
    virtual QString userName() = 0;
    // The nice level of this process's autogroup, the group of its session
    // that the kernel weighs against other sessions when autogroups are on;
    // ENOENT when they are off or the kernel has none. Setting it takes the
    // same permission as a thread's level, and without CAP_SYS_ADMIN fails
    // with EAGAIN within 100 ms of any other change, this process's or not.
    virtual int autogroupNice(int &nice) = 0;
    virtual int setAutogroupNice(int nice) = 0;
};
