#pragma once

#include <QString>
#include <QtGlobal>
#include <cmath>

// The plain value behind a font object: what gets compared, saved and
// restored. Weight follows the 1..1000 scale (400 regular, 700 bold), which
// Qt 6 uses too, so it passes through unchanged.
struct FontDescription
{
    QString Name;
    float Size = 9.75f; // points
    qint16 Weight = 400;
    bool Italic = false;
    bool Underline = false;
    bool Strikethrough = false;
    qint16 Charset = 0; // kept for the stored data; Qt picks glyphs by script itself

    static constexpr qint16 MinimumWeight = 1;
    static constexpr qint16 MaximumWeight = 1000;

    // A size of zero or less, or a weight off the scale, cannot be drawn.
    bool isValid() const
    {
        return std::isfinite(Size) && Size > 0.0f && Weight >= MinimumWeight
               && Weight <= MaximumWeight;
    }

    friend bool operator==(const FontDescription &, const FontDescription &) = default;
};
