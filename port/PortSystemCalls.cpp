#include "PortSystemCalls.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

// Only x86 processors have a separate I/O port space; everywhere else (the
// Raspberry Pi's arm64 among them) glibc has neither ioperm nor outb.
#if defined(__x86_64__) || defined(__i386__)
#define QUARNET_HAS_PORT_IO 1
#include <sys/io.h>
#endif

namespace {

int realOpen(const char *path, int flags)
{
    return ::open(path, flags);
}

int realIoctl(int fd, unsigned long request, void *argument)
{
    return ::ioctl(fd, request, argument);
}

int realClose(int fd)
{
    return ::close(fd);
}

#ifdef QUARNET_HAS_PORT_IO
int realIoperm(unsigned long from, unsigned long count, int enable)
{
    return ::ioperm(from, count, enable);
}

void realOutb(unsigned char value, unsigned short port)
{
    ::outb(value, port);
}
#else
// Answers as the kernel does for a call it lacks, so the direct route is
// refused with the same fault as on an x86 kernel built without port I/O.
int realIoperm(unsigned long, unsigned long, int)
{
    errno = ENOSYS;
    return -1;
}

// Never reached: without the permission DirectPort writes nothing.
void realOutb(unsigned char, unsigned short)
{
}
#endif

} // namespace

PortSystemCalls PortSystemCalls::real()
{
    return {realOpen, realIoctl, realClose, realIoperm, realOutb};
}
