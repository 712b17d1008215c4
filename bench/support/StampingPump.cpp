#include "StampingPump.h"

#include "MonotonicNs.h"

StampingPump::StampingPump(std::size_t capacity)
    : m_stamps(capacity, std::uint64_t{1})
{
}

void StampingPump::record(bool on)
{
    if (on)
        m_count = 0;
    m_recording = on;
}

void StampingPump::processPendingEvents()
{
    m_pump.processPendingEvents();
    if (m_recording && m_count < m_stamps.size())
        m_stamps[m_count++] = monotonicNs();
}
