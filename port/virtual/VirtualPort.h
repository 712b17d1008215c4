#pragma once

#include "PortBackend.h"

#include <array>
#include <bitset>
#include <optional>

// Stands in for every port that has no real route: it keeps the last byte
// written to each of the 65,536 port numbers, so the tool runs on any
// machine and tests and the windows can see what would have been written.
class VirtualPort final : public PortBackend
{
public:
    void write(std::uint16_t port, std::uint8_t value) override;

    // No value for a port nothing was ever written to.
    std::optional<std::uint8_t> lastByte(std::uint16_t port) const;

private:
    std::array<std::uint8_t, 65536> m_bytes{};
    std::bitset<65536> m_written;
};
