#include "FontSpec.h"

namespace Fonts {

QFont dialog()
{
    return fromSpec(FontSpec{"Arial", 8.25});
}

QFont fromSpec(const FontSpec &spec)
{
    QFont font(QString::fromLatin1(spec.face));
    font.setPointSizeF(spec.points);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

QFont pick(const FontSpec *spec, const QFont &fallback)
{
    return spec ? fromSpec(*spec) : fallback;
}

} // namespace Fonts
