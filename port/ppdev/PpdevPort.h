#pragma once

#include "PortBackend.h"
#include "PortSystemCalls.h"

#include <QString>
#include <chrono>

// A parallel port reached through the kernel's ppdev driver (/dev/parportN).
// Needs no root, only read/write access to the node (group lp).
class PpdevPort final : public PortBackend
{
public:
    // The longest the caller waits for another holder to let the port go.
    static constexpr std::chrono::milliseconds ClaimWait{100};

    static PortOpening open(const QString &devicePath, PortSystemCalls &calls);

    ~PpdevPort() override;
    void write(std::uint16_t port, std::uint8_t value) override;
    void release() noexcept override;
    QString goneReason() const override;
    void retryOff(std::uint8_t off) noexcept override;
    GuardHandle guardHandle() const override { return {GuardHandle::Kind::Ppdev, m_fd}; }

private:
    PpdevPort(int fd, PortSystemCalls &calls);
    static PortOpening claim(int fd, PortSystemCalls &calls);

    int m_fd;
    int m_failure = 0;
    PortSystemCalls &m_calls;
};
