#include "direct/DirectPort.h"

#include <bitset>
#include <cerrno>

namespace {

// The thread that took them is the one that writes: the window's.
std::bitset<65536> s_grantedAhead;

} // namespace

bool DirectPort::grantAhead(std::uint16_t base, PortSystemCalls &calls)
{
    if (calls.ioperm(base, 1, 1) < 0)
        return false;
    s_grantedAhead.set(base);
    return true;
}

PortOpening DirectPort::open(std::uint16_t base, PortSystemCalls &calls)
{
    // Only the data register is needed: one port of permission, not the
    // port's whole register block.
    if (!s_grantedAhead.test(base) && calls.ioperm(base, 1, 1) < 0) {
        const int error = errno;
        return {nullptr, portError(PortStep::IoPermission, error), {}};
    }
    return {std::unique_ptr<PortBackend>(new DirectPort(base, calls)), {}, {}};
}

DirectPort::DirectPort(std::uint16_t base, PortSystemCalls &calls)
    : m_base(base)
    , m_calls(calls)
{
}

DirectPort::~DirectPort()
{
    release();
}

void DirectPort::write(std::uint16_t, std::uint8_t value)
{
    // Without the permission outb would fault the whole process.
    if (m_granted)
        m_calls.outb(value, m_base);
}

void DirectPort::release() noexcept
{
    if (!m_granted)
        return;
    m_granted = false;
    m_calls.ioperm(m_base, 1, 0);
}
