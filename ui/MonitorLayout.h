#pragma once

#include "LayoutRows.h"

// The live view's layout in twips, one row per control or item. It opens
// beside the main window and as tall as it: the lamps and the byte on the
// left, the motor on the right, the step counts along the foot.
namespace MonitorLayout {

inline constexpr const char *Caption = "Monitor uscite";
inline constexpr int ClientWidth = 4950;
inline constexpr int ClientHeight = 4095;
// Between the main window's frame and this one's.
inline constexpr int GapPixels = 8;

inline constexpr ControlRow Controls[] = {
    {"Frame1", ControlKind::Frame, nullptr, 120, 90, 1800, 2220, 0, "Linee"},
    {"Frame2", ControlKind::Frame, nullptr, 120, 2400, 1800, 720, 1, "Byte"},
    {"Frame3", ControlKind::Frame, nullptr, 2040, 90, 2790, 3030, 2, "Motore"},
    {"Frame4", ControlKind::Frame, nullptr, 120, 3210, 4710, 810, 3, "Passi"},
};

// Colours as &HBBGGRR.
inline constexpr std::uint32_t PhaseOnColour = 0x0000FF;   // red
inline constexpr std::uint32_t EnableOnColour = 0x00C000;  // green
inline constexpr std::uint32_t LampOffColour = 0x606060;
inline constexpr std::uint32_t PoleOffColour = 0xB0B0B0;
inline constexpr std::uint32_t StatorColour = 0xFFFFFF;
inline constexpr std::uint32_t RotorColour = 0x000000;
inline constexpr std::uint32_t RotorTipColour = 0x800000;  // dark blue

// One lamp per shown line (OutputLines::Shown, same order) on "Linee", its
// label to its right. Labels name bits and pins as the help window does.
inline constexpr int LampLeft = 150;
inline constexpr int LampTop = 330;
inline constexpr int LampPitch = 360;
inline constexpr int LampSize = 210;
inline constexpr int LampLabelLeft = 450;
inline constexpr int LampLabelWidth = 1290;

inline constexpr LabelRow Labels[] = {
    {"lblLine(0)", "Frame1", LampLabelLeft, LampTop + 0 * LampPitch, LampLabelWidth, 255, 0, "bit0 - Pin 2"},
    {"lblLine(1)", "Frame1", LampLabelLeft, LampTop + 1 * LampPitch, LampLabelWidth, 255, 1, "bit1 - Pin 3"},
    {"lblLine(2)", "Frame1", LampLabelLeft, LampTop + 2 * LampPitch, LampLabelWidth, 255, 2, "bit2 - Pin 4"},
    {"lblLine(3)", "Frame1", LampLabelLeft, LampTop + 3 * LampPitch, LampLabelWidth, 255, 3, "bit3 - Pin 5"},
    {"lblLine(4)", "Frame1", LampLabelLeft, LampTop + 4 * LampPitch, LampLabelWidth, 255, 4, "bit6 - Pin 8"},
    // Beside the poles, outside the stator: top, right, bottom, left.
    {"lblPole(0)", "Frame3", 1095, 540, 600, 225, 6, "bit0", nullptr, DefaultColour, Qt::AlignHCenter},
    {"lblPole(1)", "Frame3", 2250, 1545, 510, 225, 7, "bit2"},
    {"lblPole(2)", "Frame3", 1095, 2520, 600, 225, 8, "bit1", nullptr, DefaultColour, Qt::AlignHCenter},
    {"lblPole(3)", "Frame3", 60, 1545, 510, 225, 9, "bit3", nullptr, DefaultColour, Qt::AlignRight},
    {"lblSince", "Frame4", 150, 270, 1650, 255, 10, "dall'avvio"},
    {"lblDelivered", "Frame4", 150, 525, 1650, 255, 12, "al secondo"},
    {"lblSet", "Frame4", 2850, 525, 900, 255, 14, "impostati"},
};

// The values, redrawn at the screen's pace: figures, not laid-out labels.
inline constexpr LabelRow Figures[] = {
    {"lblByte", "Frame2", 150, 330, 1500, 255, 5, "64 = &H40"},
    {"lblSteps", "Frame4", 1800, 270, 1200, 255, 11, "0"},
    {"lblRate", "Frame4", 1800, 525, 900, 255, 13, "0"},
    {"lblStepSec", "Frame4", 3750, 525, 840, 255, 15, "1"},
};

// The motor on "Motore": a stator ring, four poles around its centre at the
// angles RotorAngle::Poles gives, and the rotor, a hand from the centre with
// a dot at its end, pointing where the windings pull.
inline constexpr double MotorCentreX = 1395;
inline constexpr double MotorCentreY = 1650;
inline constexpr double StatorDiameter = 1650;
inline constexpr double PoleRadius = 600;  // centre to the middle of a pole
inline constexpr double PoleSize = 330;
inline constexpr double RotorLength = 360;
inline constexpr double TipRadius = 330;
inline constexpr double TipSize = 150;
inline constexpr double HubSize = 150;

inline constexpr ShapeRow Stator{"shpStator", ShapeKind::Circle, int(MotorCentreX - StatorDiameter / 2),
                                 int(MotorCentreY - StatorDiameter / 2), int(StatorDiameter),
                                 int(StatorDiameter), StatorColour};
inline constexpr ShapeRow Hub{"shpHub", ShapeKind::Circle, int(MotorCentreX - HubSize / 2),
                              int(MotorCentreY - HubSize / 2), int(HubSize), int(HubSize), RotorColour};

} // namespace MonitorLayout
