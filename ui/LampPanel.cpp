#include "LampPanel.h"

#include "FormBuilder.h"
#include "FrameControl.h"
#include "MonitorLayout.h"

namespace {

std::uint32_t onColour(int index)
{
    return OutputLines::Shown[index].bit < 4 ? MonitorLayout::PhaseOnColour : MonitorLayout::EnableOnColour;
}

} // namespace

LampPanel::LampPanel(FrameControl &frame) : m_frame(frame)
{
    using namespace MonitorLayout;
    static constexpr const char *Names[] = {"shpLamp(0)", "shpLamp(1)", "shpLamp(2)", "shpLamp(3)", "shpLamp(4)"};
    static_assert(std::size(Names) == OutputLines::Count);
    for (int i = 0; i < OutputLines::Count; ++i) {
        const ShapeRow row{Names[i], ShapeKind::Circle, LampLeft, LampTop + i * LampPitch, LampSize, LampSize,
                           LampOffColour};
        m_lamps[std::size_t(i)] = &frame.surface().add(FormBuilder::makeShape(row));
    }
}

void LampPanel::show(const OutputLines::Lamps &lamps)
{
    for (int i = 0; i < OutputLines::Count; ++i) {
        const auto at = std::size_t(i);
        if (lamps[at] == m_shown[at])
            continue;
        m_lamps[at]->setFillColour(lamps[at] ? onColour(i) : MonitorLayout::LampOffColour);
        m_frame.update(m_lamps[at]->bounds(m_frame.surfaceScale()));
    }
    m_shown = lamps;
}
