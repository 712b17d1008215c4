#include "MotorDrawing.h"

#include "FormBuilder.h"
#include "FrameControl.h"
#include "MonitorLayout.h"
#include "RotorAngle.h"

#include <cmath>
#include <numbers>

namespace {

using namespace MonitorLayout;

// A point at `radius` twips from the motor's centre, `degrees` clockwise
// from straight up (the window's y axis points down).
struct Offset
{
    double x;
    double y;
};

Offset around(double degrees, double radius)
{
    const double radians = degrees * std::numbers::pi / 180.0;
    return {MotorCentreX + radius * std::sin(radians), MotorCentreY - radius * std::cos(radians)};
}

int poleIndex(int bit)
{
    for (int i = 0; i < 4; ++i) {
        if (RotorAngle::Poles[i].bit == bit)
            return i;
    }
    return -1;
}

} // namespace

MotorDrawing::MotorDrawing(FrameControl &frame) : m_frame(frame)
{
    static constexpr const char *PoleNames[] = {"shpPole(0)", "shpPole(1)", "shpPole(2)", "shpPole(3)"};
    Surface &surface = frame.surface();
    // Topmost first: the dot over the hand, the hand over the hub, all over
    // the poles and the ring.
    m_tip = &surface.add(FormBuilder::makeShape(
        {"shpTip", ShapeKind::Circle, 0, 0, int(TipSize), int(TipSize), RotorTipColour}));
    m_hand = &surface.add(FormBuilder::makeLine({"linRotor", MotorCentreX, MotorCentreY, MotorCentreX,
                                                 MotorCentreY, RotorColour}));
    surface.add(FormBuilder::makeShape(Hub));
    for (int i = 0; i < 4; ++i) {
        const Offset middle = around(RotorAngle::Poles[i].degrees, PoleRadius);
        const ShapeRow row{PoleNames[i], ShapeKind::Rectangle, int(std::lround(middle.x - PoleSize / 2)),
                           int(std::lround(middle.y - PoleSize / 2)), int(PoleSize), int(PoleSize),
                           PoleOffColour};
        m_poles[std::size_t(i)] = &surface.add(FormBuilder::makeShape(row));
    }
    surface.add(FormBuilder::makeShape(Stator));
    turnTo(0);
}

void MotorDrawing::show(double rotorDegrees, std::int16_t byte)
{
    for (int i = 0; i < 4; ++i) {
        const auto at = std::size_t(i);
        const bool lit = (byte >> RotorAngle::Poles[i].bit) & 1;
        if (lit == m_lit[at])
            continue;
        m_lit[at] = lit;
        m_poles[at]->setFillColour(lit ? PhaseOnColour : PoleOffColour);
        m_frame.update(m_poles[at]->bounds(m_frame.surfaceScale()));
    }
    if (rotorDegrees != m_degrees)
        turnTo(rotorDegrees);
}

void MotorDrawing::turnTo(double degrees)
{
    m_degrees = degrees;
    const Offset end = around(degrees, RotorLength);
    const Offset tip = around(degrees, TipRadius);
    m_hand->setPoints(MotorCentreX, MotorCentreY, end.x, end.y);
    m_tip->moveTo(tip.x - TipSize / 2, tip.y - TipSize / 2);
    // The hand turns inside the poles' inner edges: that disc is all it can
    // have covered, before or after.
    const double reach = PoleRadius - PoleSize / 2;
    m_frame.update(m_frame.surfaceScale().rect(MotorCentreX - reach, MotorCentreY - reach, 2 * reach, 2 * reach));
}

QPoint MotorDrawing::tipCentre() const
{
    return m_tip->bounds(m_frame.surfaceScale()).center();
}

QPoint MotorDrawing::poleCentre(int bit) const
{
    const int index = poleIndex(bit);
    return index < 0 ? QPoint() : m_poles[std::size_t(index)]->bounds(m_frame.surfaceScale()).center();
}

bool MotorDrawing::poleLit(int bit) const
{
    const int index = poleIndex(bit);
    return index >= 0 && m_lit[std::size_t(index)];
}
