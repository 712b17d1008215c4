#include "FontFace.h"

namespace Fonts {

QFont dialog()
{
    return fromFace(FontFace{"Arial", 8.25});
}

QFont fromFace(const FontFace &face)
{
    QFont font(QString::fromLatin1(face.face));
    font.setPointSizeF(face.points);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

QFont pick(const FontFace *face, const QFont &fallback)
{
    return face ? fromFace(*face) : fallback;
}

} // namespace Fonts
