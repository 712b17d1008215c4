#include "PpdevPort.h"

#include <cerrno>
#include <fcntl.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>

PortOpening PpdevPort::open(const QString &devicePath, const PortSystemCalls &calls)
{
    const QByteArray path = devicePath.toLocal8Bit();
    const int fd = calls.open(path.constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        return {nullptr, portFaultFromErrno(PortStep::Open, error), error};
    }
    // No PPEXCL: the kernel refuses an exclusive claim while the printer
    // driver lp is bound to the port, which it is on most systems.
    if (calls.ioctl(fd, PPCLAIM, nullptr) < 0) {
        const int error = errno;
        calls.close(fd);
        return {nullptr, portFaultFromErrno(PortStep::Claim, error), error};
    }
    return {std::unique_ptr<PortBackend>(new PpdevPort(fd, calls)), PortFault::None, 0};
}

PpdevPort::PpdevPort(int fd, const PortSystemCalls &calls)
    : m_fd(fd)
    , m_calls(calls)
{
}

PpdevPort::~PpdevPort()
{
    release();
}

void PpdevPort::write(std::uint16_t, std::uint8_t value)
{
    if (m_fd < 0)
        return;
    unsigned char data = value;
    m_calls.ioctl(m_fd, PPWDATA, &data);
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
