#pragma once

#include "LayoutRows.h"

// The start-up window's layout, in twips. Frame1 sits on the client area;
// everything else sits on Frame1.
namespace SplashLayout {

inline constexpr int ClientWidth = 7380;
inline constexpr int ClientHeight = 3780;

inline constexpr int TimerIntervalMs = 2000;

inline constexpr const char *FrameName = "Frame1";
inline constexpr ControlRow Frame{"Frame1", ControlKind::Frame, nullptr, 120, 0, 7200, 3690, 0, ""};

inline constexpr FontFace ContactFont{"Arial", 12};
inline constexpr FontFace WarningFont{"Arial", 8.25};

// A label row with what the shared rows leave out: weight, slant, and the
// label taking the size of its own text (the row's size is then only what
// the designer saw for the text it had).
struct StyledLabelRow
{
    LabelRow row;
    bool bold = false;
    bool italic = false;
    bool sizedToText = false;
};

// The labels are transparent: a styled frame's panel need not match the
// label colour, and no two labels overlap where it would show. The warning
// line is Western European single-byte text: \xE0 is the à.
inline constexpr StyledLabelRow Labels[] = {
    {{"Label2", FrameName, 3600, 480, 2655, 255, 0, "http://www.example.org/quarnet", nullptr,
      DefaultColour, Qt::AlignLeft, false}},
    {{"lblCompanyProduct", FrameName, 3540, 720, 1755, 285, 0, "quarnet@example.org",
      &ContactFont, DefaultColour, Qt::AlignLeft, false},
     false, true, true},
    {{"lblVersion", FrameName, 5520, 2280, 1410, 285, 0, "Versione 1.3", &ContactFont,
      DefaultColour, Qt::AlignRight, false},
     true, false, true},
    {{"Label4", FrameName, 4740, 2820, 975, 255, 0, "Celeron1000", nullptr, DefaultColour,
      Qt::AlignLeft, false}},
    {{"lblWarning", FrameName, 240, 3360, 6855, 195, 0,
      "Attendere , rilevamanto velocit\xE0 CPU.........", &WarningFont, DefaultColour,
      Qt::AlignLeft, false}},
};

// Empty until the measured rate arrives.
inline constexpr LabelRow RateLabel{"Label3", FrameName, 2520, 2160, 1815, 375, 0, "", nullptr,
                                    DefaultColour, Qt::AlignLeft, false};

// The reference mark stands where the bar reads about 8.3 million.
inline constexpr LineRow Mark{"Line1", 4860, 3060, 4860, 3300};

struct Box
{
    int left;
    int top;
    int width;
    int height;
};

inline constexpr Box Logo{720, 1200, 1215, 1185};
inline constexpr Box Title{2700, 1680, 3375, 375};
inline constexpr Box Bar{3360, 3240, 3615, 255};

inline constexpr const char *LogoResource = ":/calibration/logo.gif";

} // namespace SplashLayout
