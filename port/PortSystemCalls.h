#pragma once

// The operating-system calls the port routes make, behind one object so
// that tests can refuse or record them: root bypasses file permissions, and
// a test must never reach a real port's register. Every call reports failure
// the POSIX way (-1 and errno). The real one holds no state: safe from a
// signal handler, as the routes' release needs.
class PortSystemCalls
{
public:
    virtual ~PortSystemCalls() = default;
    virtual int open(const char *path, int flags) = 0;
    virtual int ioctl(int fd, unsigned long request, void *argument) = 0;
    virtual int close(int fd) = 0;
    virtual int ioperm(unsigned long from, unsigned long count, int enable) = 0;
    virtual void outb(unsigned char value, unsigned short port) = 0;

    static PortSystemCalls &real();
};
