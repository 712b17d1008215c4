#pragma once

#include "PortAccess.h"
#include "PortSystemCalls.h"

#include <QString>
#include <QStringList>
#include <condition_variable>
#include <mutex>

// Stands in for the kernel: device nodes are opened for real inside a test's
// temporary tree (so a missing node gives a genuine ENOENT), while refusals
// that root would bypass are injected, and every ioctl, ioperm and outb is
// recorded instead of reaching hardware. Each test owns one and hands it to
// the code under test as that code's system calls.
class FakePortSystem final : public PortSystemCalls
{
public:
    int openErrno = 0;
    int claimErrno = 0;
    int iopermErrno = 0;
    int dataErrno = 0; // every PPWDATA from then on fails with it
    QString root;     // stripped from logged paths
    QStringList log;  // "open /dev/parport1", "claim", "data 68", "outb 0x378 68"...

    // Nothing refused, nothing logged, no claim held; paths under `root`.
    void reset(const QString &root);

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
    void holdClaim();
    void letClaimGo();
    bool waitForEntry(const QString &entry, int timeoutMs);
    QStringList logSnapshot();

    // A port access of `mode` that runs on this kernel inside `root` (as
    // reset() gave it) and tells `told` what it would tell the user.
    PortAccessOptions options(PortMode mode, QStringList &told);

    // Makes `root` an empty folder, for a test's fresh tree.
    static bool emptyTree(const QString &root);

    // Lays out <root>/proc/sys/dev/parport/parportN/base-addr, one per entry
    // of `baseAddrs`, and the named nodes under <root>/dev as regular files.
    // False when a file could not be written.
    static bool layOutTree(const QString &root, const QStringList &baseAddrs,
                           const QStringList &nodes);

private:
    void note(const QString &entry);
    // False when the holder kept the port for the whole limit.
    bool waitWhileHeld();

    std::mutex m_lock; // the log and the claim, which another thread may touch
    std::condition_variable m_changed;
    bool m_claimHeld = false;
};
