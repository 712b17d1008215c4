#include "FakePortSystem.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <linux/ppdev.h>
#include <mutex>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

QString hex(unsigned long port)
{
    return QStringLiteral("0x%1").arg(port, 3, 16, QLatin1Char('0'));
}

} // namespace

void FakePortSystem::note(const QString &entry)
{
    const std::lock_guard guard(m_lock);
    log << entry;
    m_changed.notify_all();
}

bool FakePortSystem::waitWhileHeld()
{
    std::unique_lock guard(m_lock);
    return m_changed.wait_for(guard, std::chrono::milliseconds(HeldClaimLimitMs), [this] { return !m_claimHeld; });
}

int FakePortSystem::open(const char *path, int)
{
    note(QStringLiteral("open ") + QString::fromLocal8Bit(path).remove(root));
    if (openErrno != 0) {
        errno = openErrno;
        return -1;
    }
    return ::open(path, O_RDONLY | O_CLOEXEC);
}

int FakePortSystem::ioctl(int, unsigned long request, void *argument)
{
    if (request == PPCLAIM) {
        note(QStringLiteral("claim"));
        if (!waitWhileHeld()) {
            errno = EINTR;
            return -1;
        }
        if (claimErrno != 0) {
            errno = claimErrno;
            return -1;
        }
    } else if (request == PPWDATA) {
        note(QStringLiteral("data %1").arg(*static_cast<unsigned char *>(argument)));
        if (dataErrno != 0) {
            errno = dataErrno;
            return -1;
        }
    } else if (request == PPRELEASE) {
        note(QStringLiteral("release"));
    } else {
        note(QStringLiteral("ioctl %1").arg(request));
    }
    return 0;
}

int FakePortSystem::close(int fd)
{
    note(QStringLiteral("close"));
    return ::close(fd);
}

int FakePortSystem::ioperm(unsigned long from, unsigned long count, int enable)
{
    note(QStringLiteral("ioperm %1 %2 %3").arg(hex(from)).arg(count).arg(enable));
    if (enable && iopermErrno != 0) {
        errno = iopermErrno;
        return -1;
    }
    return 0;
}

void FakePortSystem::outb(unsigned char value, unsigned short port)
{
    note(QStringLiteral("outb %1 %2").arg(hex(port)).arg(value));
}

void FakePortSystem::reset(const QString &newRoot)
{
    const std::lock_guard guard(m_lock);
    openErrno = claimErrno = iopermErrno = dataErrno = 0;
    root = newRoot;
    log.clear();
    m_claimHeld = false;
    m_changed.notify_all();
}

void FakePortSystem::holdClaim()
{
    const std::lock_guard guard(m_lock);
    m_claimHeld = true;
}

void FakePortSystem::letClaimGo()
{
    const std::lock_guard guard(m_lock);
    m_claimHeld = false;
    m_changed.notify_all();
}

bool FakePortSystem::waitForEntry(const QString &entry, int timeoutMs)
{
    std::unique_lock guard(m_lock);
    return m_changed.wait_for(guard, std::chrono::milliseconds(timeoutMs), [&] { return log.contains(entry); });
}

QStringList FakePortSystem::logSnapshot()
{
    const std::lock_guard guard(m_lock);
    return log;
}

bool FakePortSystem::layOutTree(const QString &root, const QStringList &baseAddrs,
                                const QStringList &nodes)
{
    QDir().mkpath(root + QStringLiteral("/dev"));
    QDir().mkpath(root + QStringLiteral("/proc/sys/dev/parport/default"));
    for (int index = 0; index < baseAddrs.size(); ++index) {
        const QString dir = root + QStringLiteral("/proc/sys/dev/parport/parport%1").arg(index);
        QDir().mkpath(dir);
        QFile file(dir + QStringLiteral("/base-addr"));
        if (!file.open(QIODevice::WriteOnly) || file.write(baseAddrs[index].toLatin1()) < 0)
            return false;
    }
    for (const QString &node : nodes) {
        QFile file(root + QStringLiteral("/dev/") + node);
        if (!file.open(QIODevice::WriteOnly))
            return false;
    }
    return true;
}

PortAccessOptions FakePortSystem::options(PortMode mode, QStringList &told)
{
    PortAccessOptions options;
    options.mode = mode;
    options.procRoot = root + QStringLiteral("/proc");
    options.devRoot = root + QStringLiteral("/dev");
    options.calls = this;
    options.report = [&told](const QString &line) { told << line; };
    return options;
}

bool FakePortSystem::emptyTree(const QString &root)
{
    QDir(root).removeRecursively();
    return QDir().mkpath(root);
}
