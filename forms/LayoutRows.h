#pragma once

#include "FontFace.h"
#include "SurfaceShape.h"

#include <Qt>
#include <cstdint>
#include <span>

// One row per control or windowless item of a window's layout. Positions and
// sizes are twips relative to the container (null container: the window's
// client area); a container must come before its contents in the table.
// Members of a control array are named "Name(i)".

enum class ControlKind { Button, OptionButton, ComboBox, TextBox, Frame, PictureBox, ObjectBox };

// Stands for "the control's usual colour"; no stored colour has all bits set.
inline constexpr std::uint32_t DefaultColour = 0xFFFFFFFFu;

struct ControlRow
{
    const char *name;
    ControlKind kind;
    const char *container;
    int left;
    int top;
    int width;
    int height;
    int tabIndex;
    const char *text;
    const FontFace *font = nullptr;
    std::uint32_t backColour = DefaultColour;
    bool selected = false;                  // option buttons
    std::span<const char *const> list = {}; // combo box entries, in order
};

struct LabelRow
{
    const char *name;
    const char *container;
    int left;
    int top;
    int width;
    int height;
    int tabIndex;
    const char *text;
    const FontFace *font = nullptr;
    std::uint32_t foreColour = DefaultColour;
    Qt::AlignmentFlag alignment = Qt::AlignLeft;
    bool opaque = true; // false: what lies beneath shows around the text
};

struct LineRow
{
    const char *name;
    double x1;
    double y1;
    double x2;
    double y2;
    std::uint32_t colour = DefaultColour;
};

struct ShapeRow
{
    const char *name;
    ShapeKind kind;
    int left;
    int top;
    int width;
    int height;
    std::uint32_t fillColour = DefaultColour; // DefaultColour: not filled
};
