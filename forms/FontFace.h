#pragma once

#include <QFont>

// A font as the layouts name it: face and size in points. Table rows point
// at one of these, or at nothing for the window's dialog font.
struct FontFace
{
    const char *face;
    double points;
};

namespace Fonts {

// The layouts were drawn for an 8-point sans-serif dialog font. Desktops
// default to 9 or 10 points, which would overflow the fixed label boxes, so
// the windows ask for Arial 8.25 (Liberation Sans where Arial is absent: the
// same metrics).
QFont dialog();

QFont fromFace(const FontFace &face);

// The face when there is one, else the fallback.
QFont pick(const FontFace *face, const QFont &fallback);

} // namespace Fonts
