#pragma once

#include "IEventPump.h"
#include "QtEventPump.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// Qt's own event pass, with the end of each pass stamped while recording is
// on. A step's wait lies between the end of its pass and its port write, so
// these stamps split each step period into the wait and everything else.
// Create it after the application, like QtEventPump.
class StampingPump final : public IEventPump
{
public:
    explicit StampingPump(std::size_t capacity);

    // Turning it on starts a new record; turning it off keeps the last one.
    void record(bool on);
    void processPendingEvents() override;

    std::span<const std::uint64_t> stamps() const { return {m_stamps.data(), m_count}; }

private:
    QtEventPump m_pump;
    std::vector<std::uint64_t> m_stamps;
    std::size_t m_count = 0;
    bool m_recording = false;
};
