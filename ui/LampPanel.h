#pragma once

#include "OutputLines.h"

#include <array>
#include <cstdint>

class FrameControl;
class SurfaceShape;

// The lamps of the shown lines on their frame, one per OutputLines::Shown
// entry: red for a phase line that is on, green for bit 6, dark when off.
class LampPanel
{
public:
    explicit LampPanel(FrameControl &frame);

    // Repaints only the lamps that changed.
    void show(const OutputLines::Lamps &lamps);
    const OutputLines::Lamps &shown() const { return m_shown; }

private:
    FrameControl &m_frame;
    std::array<SurfaceShape *, OutputLines::Count> m_lamps{};
    OutputLines::Lamps m_shown{};
};
