#include "SplashRateLabel.h"

#include "FormBuilder.h"

SplashRateLabel::SplashRateLabel(const LabelRow &row, QFont font)
    : SurfaceItem(QString::fromLatin1(row.name)), m_row(row), m_font(std::move(font))
{
    setText(QString::fromLatin1(row.text));
}

void SplashRateLabel::setText(const QString &text)
{
    const std::uint32_t fore = m_row.foreColour == DefaultColour ? FormBuilder::DefaultLabelColour
                                                                 : m_row.foreColour;
    m_label = std::make_unique<SurfaceLabel>(name(), m_row.left, m_row.top, m_row.width,
                                             m_row.height, text, m_font, fore,
                                             FormBuilder::LabelBackColour, m_row.opaque,
                                             m_row.alignment);
}

void SplashRateLabel::paint(QPainter &painter, const SurfaceScale &scale, const QPalette &palette) const
{
    m_label->paint(painter, scale, palette);
}

QRect SplashRateLabel::bounds(const SurfaceScale &scale) const
{
    return m_label->bounds(scale);
}
