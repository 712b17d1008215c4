#pragma once

#include "LayoutRows.h"

// The main window's layout, one row per control, in twips.
namespace Form1Layout {

inline constexpr const char *Caption = "Quarnet V1.3";
inline constexpr int ClientWidth = 3600;
inline constexpr int ClientHeight = 4095;

inline constexpr FontFace StepsBoxFont{"Arial", 8.25};
inline constexpr FontFace ScaleFont{"Arial", 6.75};

inline constexpr const char *PortAddresses[] = {"&H278", "&H378", "&H3BC"};

inline constexpr ControlRow Controls[] = {
    {"Command1", ControlKind::Button, nullptr, 240, 3180, 975, 375, 0, "Start"},
    {"Command2", ControlKind::Button, nullptr, 2640, 3180, 795, 375, 1, "Chiudi"},
    {"Command3", ControlKind::Button, nullptr, 1440, 3180, 975, 375, 2, "Stop"},
    {"Command4", ControlKind::Button, nullptr, 2400, 2580, 615, 255, 3, "?"},
    {"Frame2", ControlKind::Frame, nullptr, 2040, 480, 1335, 1035, 4, "Step"},
    {"Option1(0)", ControlKind::OptionButton, "Frame2", 300, 300, 615, 255, 5, "Half"},
    {"Option1(1)", ControlKind::OptionButton, "Frame2", 300, 660, 615, 255, 8, "Full", nullptr,
     DefaultColour, true},
    {"Frame3", ControlKind::Frame, nullptr, 2040, 1620, 1335, 855, 6, "Address LPT"},
    {"Combo1", ControlKind::ComboBox, "Frame3", 240, 360, 855, 315, 7, "&H378", nullptr,
     DefaultColour, false, PortAddresses},
    {"Frame4", ControlKind::Frame, nullptr, 180, 420, 1695, 2655, 9, "Speps/sec"},
    {"Command8(0)", ControlKind::Button, "Frame4", 180, 300, 315, 435, 17, "++"},
    {"Command8(1)", ControlKind::Button, "Frame4", 180, 720, 315, 435, 18, "+"},
    {"Command8(2)", ControlKind::Button, "Frame4", 180, 1260, 315, 435, 19, "-"},
    {"Command8(3)", ControlKind::Button, "Frame4", 180, 1680, 315, 435, 20, "--"},
    {"txtStepSec", ControlKind::TextBox, "Frame4", 480, 2280, 675, 255, 21, "1", &StepsBoxFont,
     0xC0FFFF},
    {"Picture1", ControlKind::PictureBox, "Frame4", 780, 300, 300, 1890, 10, nullptr},
};

// The scale beside the gauge and the link; windowless, painted on their
// container. The scale labels are transparent: a styled frame's panel need
// not match the window's colour. The link's caption is the author's home
// page address.
inline constexpr std::uint32_t LinkColour = 0xC00000;
inline constexpr std::uint32_t LinkHoverColour = 0xFF0000;
inline constexpr std::uint32_t LinkRestColour = 0x800000;

inline constexpr LabelRow Labels[] = {
    {"Label3(0)", "Frame4", 1140, 180, 255, 255, 16, "500", &ScaleFont, DefaultColour,
     Qt::AlignLeft, false},
    {"Label3(2)", "Frame4", 1140, 600, 255, 255, 14, "400", &ScaleFont, DefaultColour,
     Qt::AlignLeft, false},
    {"Label3(3)", "Frame4", 1140, 960, 255, 255, 13, "300", &ScaleFont, DefaultColour,
     Qt::AlignLeft, false},
    {"Label3(4)", "Frame4", 1140, 1320, 255, 255, 12, "200", &ScaleFont, DefaultColour,
     Qt::AlignLeft, false},
    {"Label3(1)", "Frame4", 1140, 1740, 255, 255, 15, "100", &ScaleFont, DefaultColour,
     Qt::AlignLeft, false},
    {"Label3(5)", "Frame4", 1140, 2100, 135, 255, 11, "0", &ScaleFont, DefaultColour,
     Qt::AlignLeft, false},
    {"Label4", nullptr, 780, 120, 2475, 255, 22, "http://www.example.org/quarnet", nullptr,
     LinkColour},
};

// The gauge picture counts 0..300 across and 0..5000 down; the line starts
// where the form designer left it, not where speed 1 would put it.
inline constexpr double GaugeScaleWidth = 300;
inline constexpr double GaugeScaleHeight = 5000;
inline constexpr LineRow GaugeLine{"Line1", 120, 1137, 420, 1137, 0x0000FF};

inline constexpr const char *LinkSubject = "?SUBJECT=Esempio di ShellExecute per browser e E-Mail";

} // namespace Form1Layout
