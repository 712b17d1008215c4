#pragma once

#include <array>
#include <cstdint>

// The ports whose data register was last left with a phase line on. A run
// follows the address box from step to step, so after the user picked another
// port, or typed one that names none, the port that really turned the motor
// would keep a winding powered when the run ends or the program closes. The
// drive switches these off at those moments.
//
// Fixed size and no allocation: it is updated at every step. A user would
// have to drive more ports in one run than it holds before one is forgotten.
class EnergizedPorts
{
public:
    static constexpr int Capacity = 16;

    void note(std::int16_t port, bool phaseLineOn)
    {
        const int at = find(port);
        if (phaseLineOn && at < 0 && m_count < Capacity)
            m_ports[m_count++] = port;
        else if (!phaseLineOn && at >= 0)
            m_ports[at] = m_ports[--m_count];
    }

    template <typename Write>
    void switchOff(Write write)
    {
        while (m_count > 0)
            write(m_ports[--m_count]);
    }

    int count() const { return m_count; }

private:
    int find(std::int16_t port) const
    {
        for (int i = 0; i < m_count; ++i) {
            if (m_ports[i] == port)
                return i;
        }
        return -1;
    }

    std::array<std::int16_t, Capacity> m_ports = {};
    int m_count = 0;
};
