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

class KernelCalls final : public PortSystemCalls
{
public:
    int open(const char *path, int flags) override { return ::open(path, flags); }
    int ioctl(int fd, unsigned long request, void *argument) override { return ::ioctl(fd, request, argument); }
    int close(int fd) override { return ::close(fd); }
#ifdef QUARNET_HAS_PORT_IO
    int ioperm(unsigned long from, unsigned long count, int enable) override
    {
        return ::ioperm(from, count, enable);
    }
    void outb(unsigned char value, unsigned short port) override { ::outb(value, port); }
#else
    // Answers as the kernel does for a call it lacks, so the direct route is
    // refused with the same fault as on an x86 kernel built without port I/O.
    int ioperm(unsigned long, unsigned long, int) override
    {
        errno = ENOSYS;
        return -1;
    }
    // Never reached: without the permission DirectPort writes nothing.
    void outb(unsigned char, unsigned short) override {}
#endif
};

} // namespace

PortSystemCalls &PortSystemCalls::real()
{
    static KernelCalls calls;
    return calls;
}
