#include "StdFont.h"

#include <algorithm>
#include <cmath>

StdFont::StdFont(const FontDescription &description)
    : m_description(description)
{
}

FontRef StdFont::create(const FontDescription &description)
{
    return std::make_shared<StdFont>(description);
}

FontRef StdFont::fromQFont(const QFont &font)
{
    FontDescription d;
    d.Name = font.family();
    d.Size = font.pointSizeF() > 0 ? float(font.pointSizeF()) : 9.0f;
    d.Weight = qint16(std::clamp(int(font.weight()), int(FontDescription::MinimumWeight),
                                 int(FontDescription::MaximumWeight)));
    d.Italic = font.italic();
    d.Underline = font.underline();
    d.Strikethrough = font.strikeOut();
    return create(d);
}

QFont StdFont::toQFont() const
{
    QFont font(m_description.Name);
    font.setPointSizeF(m_description.Size);
    font.setWeight(QFont::Weight(m_description.Weight));
    font.setItalic(m_description.Italic);
    font.setUnderline(m_description.Underline);
    font.setStrikeOut(m_description.Strikethrough);
    return font;
}

void StdFont::replace(const FontDescription &next)
{
    if (!next.isValid() || next == m_description)
        return;
    m_description = next;
    emit FontChanged();
}

void StdFont::SetSize(float points)
{
    setField(&FontDescription::Size, points);
}

void StdFont::SetWeight(qint16 weight)
{
    setField(&FontDescription::Weight, weight);
}
