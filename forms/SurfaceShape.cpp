#include "SurfaceShape.h"

#include "OleColor.h"

#include <QPainter>
#include <algorithm>

SurfaceShape::SurfaceShape(QString name, ShapeKind kind, double left, double top, double width,
                           double height, std::uint32_t borderColour,
                           std::optional<std::uint32_t> fillColour)
    : SurfaceItem(std::move(name)), m_kind(kind), m_left(left), m_top(top), m_width(width),
      m_height(height), m_borderColour(borderColour), m_fillColour(fillColour)
{
}

QRect SurfaceShape::outline(const SurfaceScale &scale) const
{
    if (m_kind == ShapeKind::Rectangle)
        return scale.rect(m_left, m_top, m_width, m_height);
    const double diameter = std::min(m_width, m_height);
    return scale.rect(m_left + (m_width - diameter) / 2, m_top + (m_height - diameter) / 2,
                      diameter, diameter);
}

void SurfaceShape::paint(QPainter &painter, const SurfaceScale &scale, const QPalette &palette) const
{
    // A one-pixel pen around a rectangle of n pixels covers n + 1; shrinking
    // by one keeps the border inside the box the layout gives.
    const QRect box = outline(scale).adjusted(0, 0, -1, -1);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(OleColor::toColor(m_borderColour, palette), 0));
    painter.setBrush(m_fillColour ? QBrush(OleColor::toColor(*m_fillColour, palette)) : QBrush());
    if (m_kind == ShapeKind::Rectangle)
        painter.drawRect(box);
    else
        painter.drawEllipse(box);
}

QRect SurfaceShape::bounds(const SurfaceScale &scale) const
{
    return outline(scale);
}
