#pragma once

#include "IPort.h"
#include "IRunButtons.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// The port the benchmark drives: each write is stamped with CLOCK_MONOTONIC
// into an array filled in advance, so a step costs a clock read and a store,
// less than any real route. After the wanted number of steps it disables
// "Stop", as a click on it would, and the run loop ends at its next check.
class StampingPort final : public IPort
{
public:
    explicit StampingPort(std::size_t capacity);

    // Stamps the next `steps` writes (at most the capacity); later ones, such
    // as the run's closing write, are only kept as the last byte.
    void arm(std::size_t steps, IRunButtons *buttons);

    void Out32(std::int16_t port, std::int16_t value) override;

    std::span<const std::uint64_t> stamps() const { return {m_stamps.data(), m_count}; }
    std::int16_t lastValue() const { return m_lastValue; }

private:
    std::vector<std::uint64_t> m_stamps;
    std::size_t m_count = 0;
    std::size_t m_wanted = 0;
    IRunButtons *m_buttons = nullptr;
    std::int16_t m_lastValue = 0;
};
