#include "PortSystemCalls.h"

#include <fcntl.h>
#include <sys/io.h>
#include <sys/ioctl.h>
#include <unistd.h>

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

int realIoperm(unsigned long from, unsigned long count, int enable)
{
    return ::ioperm(from, count, enable);
}

void realOutb(unsigned char value, unsigned short port)
{
    ::outb(value, port);
}

} // namespace

PortSystemCalls PortSystemCalls::real()
{
    return {realOpen, realIoctl, realClose, realIoperm, realOutb};
}
