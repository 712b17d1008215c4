#pragma once

#include <array>
#include <bit>
#include <cstdint>

// The ports whose data register was last left with a phase line on. A run
// follows the address box from step to step, so after the user picked another
// port, or typed one that names none, the port that really turned the motor
// would keep a winding powered when the run ends or the program closes. The
// drive switches these off at those moments.
//
// One bit for each of the 65,536 port numbers, so no port is ever forgotten,
// and no allocation: it is updated at every step.
class EnergizedPorts
{
public:
    void note(std::int16_t port, bool phaseLineOn)
    {
        const auto number = static_cast<std::uint16_t>(port);
        std::uint64_t &word = m_words[number >> 6];
        const std::uint64_t bit = std::uint64_t{1} << (number & 63);
        if (phaseLineOn && !(word & bit)) {
            word |= bit;
            ++m_count;
        } else if (!phaseLineOn && (word & bit)) {
            word &= ~bit;
            --m_count;
        }
    }

    // Each port once, the highest first; cleared before `write` sees it, so
    // that a write which notes the port again is kept.
    template <typename Write>
    void switchOff(Write write)
    {
        for (std::size_t index = m_words.size(); m_count > 0 && index-- > 0;) {
            while (m_words[index] != 0) {
                const int bit = 63 - std::countl_zero(m_words[index]);
                m_words[index] &= ~(std::uint64_t{1} << bit);
                --m_count;
                write(static_cast<std::int16_t>(static_cast<std::uint16_t>(index * 64 + bit)));
            }
        }
    }

    int count() const { return m_count; }

private:
    std::array<std::uint64_t, 65536 / 64> m_words = {};
    int m_count = 0;
};
