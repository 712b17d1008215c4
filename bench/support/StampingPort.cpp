#include "StampingPort.h"

#include "MonotonicNs.h"

#include <algorithm>

// Every page is touched here: a first touch inside a run would cost a page
// fault, microseconds charged to whichever step hit it.
StampingPort::StampingPort(std::size_t capacity)
    : m_stamps(capacity, std::uint64_t{1})
{
}

void StampingPort::arm(std::size_t steps, IRunButtons *buttons)
{
    m_count = 0;
    m_wanted = std::min(steps, m_stamps.size());
    m_buttons = buttons;
}

void StampingPort::Out32(std::int16_t, std::int16_t value)
{
    if (m_count < m_wanted) {
        m_stamps[m_count] = monotonicNs();
        if (++m_count == m_wanted && m_buttons) {
            m_buttons->setStopEnabled(false);
            m_buttons->setStartEnabled(true);
        }
    }
    m_lastValue = value;
}
