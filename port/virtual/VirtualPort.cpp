#include "virtual/VirtualPort.h"

void VirtualPort::write(std::uint16_t port, std::uint8_t value)
{
    m_bytes[port] = value;
    m_written.set(port);
}

std::optional<std::uint8_t> VirtualPort::lastByte(std::uint16_t port) const
{
    if (!m_written.test(port))
        return std::nullopt;
    return m_bytes[port];
}
