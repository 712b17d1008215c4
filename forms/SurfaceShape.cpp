#include "SurfaceShape.h"

#include "OleColor.h"

#include <QPainter>
#include <QRegion>
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

// Every pixel of `part` that the circle's box meets at least two pixels
// inside the outline, clear of its one-pixel pen and of where the
// rasteriser rounds it. Parts of the region beside the box are not its own.
bool SurfaceShape::holds(const QRegion &part, const SurfaceScale &scale) const
{
    const QRect box = outline(scale).adjusted(0, 0, -1, -1);
    const double radius = box.width() / 2.0 - 2.0;
    if (!(radius > 0))
        return false;
    const double cx = box.left() + box.width() / 2.0;
    const double cy = box.top() + box.height() / 2.0;
    for (const QRect &rect : part) {
        if (!rect.intersects(box.adjusted(0, 0, 1, 1)))
            continue;
        for (const QPoint corner : {rect.topLeft(), rect.topRight(), rect.bottomLeft(), rect.bottomRight()}) {
            const double dx = corner.x() + 0.5 - cx;
            const double dy = corner.y() + 0.5 - cy;
            if (dx * dx + dy * dy > radius * radius)
                return false;
        }
    }
    return true;
}

void SurfaceShape::paintPart(QPainter &painter, const SurfaceScale &scale, const QPalette &palette,
                             const QRegion &dirty) const
{
    if (m_kind == ShapeKind::Circle && m_fillColour && holds(dirty, scale)) {
        const QColor fill = OleColor::toColor(*m_fillColour, palette);
        const QRect box = outline(scale);
        for (const QRect &rect : dirty)
            if (rect.intersects(box))
                painter.fillRect(rect, fill);
    } else {
        paint(painter, scale, palette);
    }
}

QRect SurfaceShape::bounds(const SurfaceScale &scale) const
{
    return outline(scale);
}
