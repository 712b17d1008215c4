#pragma once

#include <QPoint>
#include <array>
#include <cstdint>

class FrameControl;
class SurfaceLine;
class SurfaceShape;

// The motor on its frame: four poles round a stator ring, each lit while its
// winding is on, and the rotor, a hand pointing where the windings pull it.
// The poles sit at the angles RotorAngle::Poles gives, so the hand always
// points at a lit pole, or half-way between two.
class MotorDrawing
{
public:
    explicit MotorDrawing(FrameControl &frame);

    // Repaints the rotor only when it turned, a pole only when it changed.
    void show(double rotorDegrees, std::int16_t byte);

    // In the frame's pixels: where the hand's dot and each pole's middle are.
    QPoint tipCentre() const;
    QPoint poleCentre(int bit) const;
    bool poleLit(int bit) const;

private:
    void turnTo(double degrees);

    FrameControl &m_frame;
    SurfaceLine *m_hand = nullptr;
    SurfaceShape *m_tip = nullptr;
    std::array<SurfaceShape *, 4> m_poles{}; // by RotorAngle::Poles order
    std::array<bool, 4> m_lit{};
    double m_degrees = -1;
};
