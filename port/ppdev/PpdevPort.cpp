#include "ppdev/PpdevPort.h"

#include <cerrno>
#include <cstring>
#include <condition_variable>
#include <csignal>
#include <fcntl.h>
#include <linux/ppdev.h>
#include <memory>
#include <mutex>
#include <pthread.h>
#include <sys/ioctl.h>
#include <system_error>
#include <functional>
#include <thread>

namespace {

// One PPCLAIM, shared between the thread that makes it and the window that
// waits for it. Whoever comes second owns the descriptor: the window when
// the claim settled in time, else the claiming thread, which gives back a
// claim that comes too late and closes the device.
struct ClaimAttempt
{
    std::mutex lock;
    std::condition_variable settled;
    bool done = false;
    bool abandoned = false;
    int result = 0;
    int error = 0;
};

void claimOn(int fd, PortSystemCalls &calls, const std::shared_ptr<ClaimAttempt> &attempt)
{
    const int result = calls.ioctl(fd, PPCLAIM, nullptr);
    const int error = errno;
    std::unique_lock guard(attempt->lock);
    if (attempt->abandoned) {
        guard.unlock();
        if (result == 0)
            calls.ioctl(fd, PPRELEASE, nullptr);
        calls.close(fd);
        return;
    }
    attempt->done = true;
    attempt->result = result;
    attempt->error = error;
    attempt->settled.notify_all();
}

// The claiming thread starts with every signal blocked, so the termination
// signals still reach the window's thread and its handlers.
bool startClaim(int fd, PortSystemCalls &calls, const std::shared_ptr<ClaimAttempt> &attempt)
{
    sigset_t all;
    sigset_t previous;
    sigfillset(&all);
    if (pthread_sigmask(SIG_BLOCK, &all, &previous) != 0)
        return false;
    bool started = true;
    try {
        // The calls object lives for the process (the kernel's, or a test's fake),
        // so an abandoned claim may still use it.
        std::thread(claimOn, fd, std::ref(calls), attempt).detach();
    } catch (const std::system_error &) {
        started = false;
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return started;
}

} // namespace

// PPCLAIM sleeps for as long as another ppdev client or the printer driver
// holds the port, and it is first made from the main window's load: made on
// the window's thread it could keep the window from ever appearing. It runs
// on a thread of its own instead, and a claim that has not come within
// ClaimWait counts as refused.
PortOpening PpdevPort::claim(int fd, PortSystemCalls &calls)
{
    auto attempt = std::make_shared<ClaimAttempt>();
    if (!startClaim(fd, calls, attempt)) {
        calls.close(fd);
        return {nullptr, portError(PortStep::Claim, EAGAIN), {}};
    }
    std::unique_lock guard(attempt->lock);
    if (!attempt->settled.wait_for(guard, ClaimWait, [&] { return attempt->done; })) {
        attempt->abandoned = true;
        return {nullptr, portError(PortFault::ClaimTimedOut), {}};
    }
    if (attempt->result < 0) {
        calls.close(fd);
        return {nullptr, portError(PortStep::Claim, attempt->error), {}};
    }
    return {std::unique_ptr<PortBackend>(new PpdevPort(fd, calls)), {}, {}};
}

PortOpening PpdevPort::open(const QString &devicePath, PortSystemCalls &calls)
{
    const QByteArray path = devicePath.toLocal8Bit();
    const int fd = calls.open(path.constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        return {nullptr, portError(PortStep::Open, error), {}};
    }
    // No PPEXCL: the kernel refuses an exclusive claim while the printer
    // driver lp is bound to the port, which it is on most systems.
    return claim(fd, calls);
}

PpdevPort::PpdevPort(int fd, PortSystemCalls &calls)
    : m_fd(fd)
    , m_calls(calls)
{
}

PpdevPort::~PpdevPort()
{
    release();
}

// ppdev fails a write only when the port is no longer ours or no longer
// there (a USB parallel adapter pulled out): the run must not go on as if
// the motor turned.
void PpdevPort::write(std::uint16_t, std::uint8_t value)
{
    if (m_fd < 0 || m_gone)
        return;
    unsigned char data = value;
    if (m_calls.ioctl(m_fd, PPWDATA, &data) != 0) [[unlikely]] {
        m_failure = errno;
        m_gone = true;
    }
}

void PpdevPort::retryOff(std::uint8_t off) noexcept
{
    unsigned char data = off;
    if (m_fd >= 0)
        m_calls.ioctl(m_fd, PPWDATA, &data);
}

QString PpdevPort::goneReason() const
{
    return QStringLiteral("writing the parallel port failed (%1)")
        .arg(QString::fromLocal8Bit(std::strerror(m_failure)));
}

void PpdevPort::release() noexcept
{
    if (m_fd < 0)
        return;
    // The data register keeps its last byte after the release, so the drive
    // switches the windings off before the process ends, not this.
    const int fd = m_fd;
    m_fd = -1;
    m_calls.ioctl(fd, PPRELEASE, nullptr);
    m_calls.close(fd);
}
