#include "DeliveredRate.h"

void DeliveredRate::sample(std::int64_t nowNs, std::int64_t steps)
{
    if (m_count > 0 && nowNs <= at(m_count - 1).atNs)
        return;
    push({nowNs, steps});
    // The oldest reading kept is the newest one from a second ago or more:
    // the count over the last second starts there.
    while (m_count > 2 && at(1).atNs <= nowNs - WindowNs) {
        m_first = (m_first + 1) % Capacity;
        --m_count;
    }
    m_rate = compute(nowNs);
}

void DeliveredRate::push(Reading reading)
{
    if (m_count == Capacity) {
        m_first = (m_first + 1) % Capacity;
        --m_count;
    }
    m_ring[std::size_t((m_first + m_count) % Capacity)] = reading;
    ++m_count;
}

double DeliveredRate::compute(std::int64_t nowNs) const
{
    int firstMove = -1;
    int lastMove = -1;
    for (int i = 1; i < m_count; ++i) {
        if (at(i).steps != at(i - 1).steps) {
            if (firstMove < 0)
                firstMove = i;
            lastMove = i;
        }
    }
    if (firstMove < 0 || lastMove == firstMove)
        return countedRate(nowNs);
    const double spanNs = double(at(lastMove).atNs - at(firstMove).atNs);
    const double steps = double(at(lastMove).steps - at(firstMove).steps);
    const double idleNs = double(nowNs - at(lastMove).atNs);
    if (steps <= 0 || idleNs > 2 * spanNs / steps)
        return countedRate(nowNs);
    return steps * 1e9 / spanNs;
}

double DeliveredRate::countedRate(std::int64_t nowNs) const
{
    if (m_count < 2)
        return 0;
    const Reading &from = at(0);
    const std::int64_t steps = at(m_count - 1).steps - from.steps;
    return steps > 0 ? double(steps) * 1e9 / double(nowNs - from.atNs) : 0;
}
