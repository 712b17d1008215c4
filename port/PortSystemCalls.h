#pragma once

// The operating-system calls the port routes make, as plain function
// pointers so that tests can refuse or record them: root bypasses file
// permissions, and a test must never reach a real port's register.
// Every function reports failure the POSIX way (-1 and errno).
struct PortSystemCalls
{
    int (*open)(const char *path, int flags);
    int (*ioctl)(int fd, unsigned long request, void *argument);
    int (*close)(int fd);
    int (*ioperm)(unsigned long from, unsigned long count, int enable);
    void (*outb)(unsigned char value, unsigned short port);

    static PortSystemCalls real();
};
