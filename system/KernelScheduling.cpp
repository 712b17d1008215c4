#include "KernelScheduling.h"

#include <algorithm>
#include <cerrno>
#include <grp.h>
#include <pwd.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// RLIMIT_NICE counts from 1 (nice 19) to 40 (nice -20).
constexpr int kNiceLimitTop = 20;

} // namespace

long KernelScheduling::currentThread()
{
    return static_cast<long>(::gettid());
}

// -1 is a valid nice level, so only errno tells a failure.
int KernelScheduling::niceOf(long thread, int &nice)
{
    errno = 0;
    const int value = ::getpriority(PRIO_PROCESS, static_cast<id_t>(thread));
    if (errno != 0)
        return errno;
    nice = value;
    return 0;
}

int KernelScheduling::setNice(long thread, int nice)
{
    return ::setpriority(PRIO_PROCESS, static_cast<id_t>(thread), nice) == 0 ? 0 : errno;
}

int KernelScheduling::lowestNiceAllowed()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NICE, &limit) != 0)
        return kNiceLimitTop;
    // RLIM_INFINITY is the largest value there is: nice -20, like 40.
    return kNiceLimitTop - static_cast<int>(std::min<rlim_t>(limit.rlim_cur, 2 * kNiceLimitTop));
}

// The flag can be set without privilege and never taken off without it,
// which is harmless: it only says where a child's priority starts.
int KernelScheduling::keepFromChildren(long thread)
{
    const pid_t id = static_cast<pid_t>(thread);
    const int policy = ::sched_getscheduler(id);
    if (policy < 0)
        return errno;
    if (policy != SCHED_OTHER)
        return 0; // someone made it real-time or idle on purpose: leave it
    sched_param none{};
    return ::sched_setscheduler(id, SCHED_OTHER | SCHED_RESET_ON_FORK, &none) == 0 ? 0 : errno;
}

QString KernelScheduling::groupName()
{
    if (const group *g = ::getgrgid(::getgid()))
        return QString::fromLocal8Bit(g->gr_name);
    if (const passwd *p = ::getpwuid(::getuid()))
        return QString::fromLocal8Bit(p->pw_name);
    return QString::number(::getgid());
}
