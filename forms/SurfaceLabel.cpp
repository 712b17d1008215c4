#include "SurfaceLabel.h"

#include "OleColor.h"

#include <QPainter>

SurfaceLabel::SurfaceLabel(QString name, double left, double top, double width, double height,
                           QString text, QFont font, std::uint32_t foreColour,
                           std::uint32_t backColour, bool opaque, Qt::Alignment alignment)
    : SurfaceItem(std::move(name)), m_left(left), m_top(top), m_width(width), m_height(height),
      m_text(std::move(text)), m_font(std::move(font)), m_foreColour(foreColour),
      m_backColour(backColour), m_opaque(opaque), m_alignment(alignment)
{
}

void SurfaceLabel::paint(QPainter &painter, const SurfaceScale &scale, const QPalette &palette) const
{
    const QRect box = bounds(scale);
    if (m_opaque)
        painter.fillRect(box, OleColor::toColor(m_backColour, palette));
    painter.save();
    painter.setClipRect(box, Qt::IntersectClip);
    painter.setFont(m_font);
    painter.setPen(OleColor::toColor(m_foreColour, palette));
    painter.drawText(box, int(m_alignment | Qt::AlignTop) | Qt::TextWordWrap, m_text);
    painter.restore();
}

QRect SurfaceLabel::bounds(const SurfaceScale &scale) const
{
    return scale.rect(m_left, m_top, m_width, m_height);
}
