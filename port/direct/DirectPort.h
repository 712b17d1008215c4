#pragma once

#include "PortBackend.h"
#include "PortSystemCalls.h"

// A parallel port written with outb after ioperm: needs root and bypasses the
// kernel's drivers, so it is only ever opened at a parallel port's base.
// Linux grants ioperm per thread: the port must be written from the thread
// that first used it (the user-interface thread), or outb faults.
class DirectPort final : public PortBackend
{
public:
    static PortOpening open(std::uint16_t base, PortSystemCalls &calls);
    // The permission taken before the process gives up root: open() then
    // finds it held instead of asking for it again, which it no longer may.
    static bool grantAhead(std::uint16_t base, PortSystemCalls &calls);

    ~DirectPort() override;
    void write(std::uint16_t port, std::uint8_t value) override;
    void release() noexcept override;
    GuardHandle guardHandle() const override { return {GuardHandle::Kind::Direct, -1, m_base}; }

private:
    DirectPort(std::uint16_t base, PortSystemCalls &calls);

    std::uint16_t m_base;
    bool m_granted = true;
    PortSystemCalls &m_calls;
};
