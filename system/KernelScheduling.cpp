#include "KernelScheduling.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// RLIMIT_NICE counts from 1 (nice 19) to 40 (nice -20).
constexpr int kNiceLimitTop = 20;

constexpr const char *kAutogroupFile = "/proc/self/autogroup";
constexpr const char *kAutogroupSwitch = "/proc/sys/kernel/sched_autogroup_enabled";

// Small /proc files read whole; a failure is returned as errno says.
int readSmall(const char *path, char *text, std::size_t size)
{
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    const ssize_t got = ::read(fd, text, size - 1);
    const int error = got < 0 ? errno : 0;
    ::close(fd);
    if (got < 0)
        return error;
    text[got] = '\0';
    return 0;
}

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

QString KernelScheduling::userName()
{
    if (const passwd *p = ::getpwuid(::getuid()))
        return QString::fromLocal8Bit(p->pw_name);
    return QString::number(::getuid());
}

// The file exists with autogroups switched off too, and its level then
// weighs nothing: only the switch says whether it counts.
int KernelScheduling::autogroupNice(int &nice)
{
    char text[64];
    if (readSmall(kAutogroupSwitch, text, sizeof text) != 0 || text[0] != '1')
        return ENOENT;
    if (const int error = readSmall(kAutogroupFile, text, sizeof text))
        return error;
    // A session that never left init's (a container's, a service's) is in
    // the kernel's root group, which has no level of its own: the file is
    // empty then, and there is no group to raise. Otherwise
    // "/autogroup-123 nice 0".
    if (text[0] == '\0')
        return ENOENT;
    int value = 0;
    if (std::sscanf(text, "%*s nice %d", &value) != 1)
        return EIO;
    nice = value;
    return 0;
}

int KernelScheduling::setAutogroupNice(int nice)
{
    const int fd = ::open(kAutogroupFile, O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    char text[16];
    const int length = std::snprintf(text, sizeof text, "%d", nice);
    const int error = ::write(fd, text, static_cast<std::size_t>(length)) == length ? 0 : errno;
    ::close(fd);
    return error;
}
