#pragma once

#include "PortSystemCalls.h"

#include <QString>
#include <QStringList>

// Stands in for the kernel: device nodes are opened for real inside a test's
// temporary tree (so a missing node gives a genuine ENOENT), while refusals
// that root would bypass are injected, and every ioctl, ioperm and outb is
// recorded instead of reaching hardware.
struct FakePortSystem final : PortSystemCalls
{
    int openErrno = 0;
    int claimErrno = 0;
    int iopermErrno = 0;
    int dataErrno = 0; // every PPWDATA from then on fails with it
    QString root;     // stripped from logged paths
    QStringList log;  // "open /dev/parport1", "claim", "data 68", "outb 0x378 68"...

    static FakePortSystem &instance();
    static void reset(const QString &root);
    static PortSystemCalls &calls();

    int open(const char *path, int flags) override;
    int ioctl(int fd, unsigned long request, void *argument) override;
    int close(int fd) override;
    int ioperm(unsigned long from, unsigned long count, int enable) override;
    void outb(unsigned char value, unsigned short port) override;

    // Another program holds the port: a claim sleeps, as the kernel's does,
    // until letClaimGo(), or fails after HeldClaimLimitMs as if a signal had
    // ended the sleep. The claim may come from another thread, so while one
    // can be running read the log through these, not directly.
    static constexpr int HeldClaimLimitMs = 3000;
    static void holdClaim();
    static void letClaimGo();
    static bool waitForEntry(const QString &entry, int timeoutMs);
    static QStringList logSnapshot();

    // Lays out <root>/proc/sys/dev/parport/parportN/base-addr, one per entry
    // of `baseAddrs`, and the named nodes under <root>/dev as regular files.
    // False when a file could not be written.
    static bool layOutTree(const QString &root, const QStringList &baseAddrs,
                           const QStringList &nodes);
};
