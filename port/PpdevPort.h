#pragma once

#include "PortBackend.h"
#include "PortSystemCalls.h"

#include <QString>

// A parallel port reached through the kernel's ppdev driver (/dev/parportN).
// Needs no root, only read/write access to the node (group lp).
class PpdevPort final : public PortBackend
{
public:
    static PortOpening open(const QString &devicePath, const PortSystemCalls &calls);

    ~PpdevPort() override;
    void write(std::uint16_t port, std::uint8_t value) override;
    void release() noexcept override;

private:
    PpdevPort(int fd, const PortSystemCalls &calls);

    int m_fd;
    PortSystemCalls m_calls;
};
