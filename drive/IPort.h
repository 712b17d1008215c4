#pragma once

#include <cstdint>

// The one port operation the drive needs: put a byte into an I/O port's data
// register. `port` is a signed 16-bit value whose bit pattern is the port
// number, as the address box's literal gives it.
class IPort
{
public:
    virtual ~IPort() = default;
    virtual void Out32(std::int16_t port, std::int16_t value) = 0;
};
