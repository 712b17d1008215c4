#include "SurfaceLine.h"

#include "OleColor.h"

#include <QPainter>

SurfaceLine::SurfaceLine(QString name, double x1, double y1, double x2, double y2, std::uint32_t colour)
    : SurfaceItem(std::move(name)), m_x1(x1), m_y1(y1), m_x2(x2), m_y2(y2), m_colour(colour)
{
}

void SurfaceLine::paint(QPainter &painter, const SurfaceScale &scale, const QPalette &palette) const
{
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(OleColor::toColor(m_colour, palette), 0));
    painter.drawLine(scale.point(m_x1, m_y1), scale.point(m_x2, m_y2));
}

QRect SurfaceLine::bounds(const SurfaceScale &scale) const
{
    return QRect(scale.point(m_x1, m_y1), scale.point(m_x2, m_y2)).normalized();
}
