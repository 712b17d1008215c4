#pragma once

#include <array>
#include <cstdint>

// The step rate the motor got over the last second, from readings of the
// step count taken at the screen's pace. Each reading is stamped with the
// monotonic clock; a step shows up at the first reading after it, so the
// time between two counts that moved is the time between their steps
// within one reading's interval. Timing from those moves, a slow motor's
// rate does not jump by a whole step whenever the second's edge happens to
// catch one more reading; once the steps stop (no move for two of their
// periods) the plain count over the last second takes over and falls to 0.
class DeliveredRate
{
public:
    static constexpr std::int64_t WindowNs = 1'000'000'000;

    // Readings at a time that does not move on are ignored.
    void sample(std::int64_t nowNs, std::int64_t steps);
    double stepsPerSecond() const { return m_rate; }

private:
    struct Reading
    {
        std::int64_t atNs;
        std::int64_t steps;
    };

    // Enough for the last second at twice the screen pace.
    static constexpr int Capacity = 128;

    const Reading &at(int index) const { return m_ring[std::size_t((m_first + index) % Capacity)]; }
    void push(Reading reading);
    double compute(std::int64_t nowNs) const;
    double countedRate(std::int64_t nowNs) const;

    std::array<Reading, Capacity> m_ring{};
    int m_first = 0;
    int m_count = 0;
    double m_rate = 0;
};
