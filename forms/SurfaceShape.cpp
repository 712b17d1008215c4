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

// A circle's outline is worked out over its whole box however little of
// it a repaint needs: a disc behind a moving hand would cost that on every
// frame. Drawn once into an image, it costs a copy of what the repaint
// covers, the same pixels as drawn straight.
const QImage &SurfaceShape::circle(QSize size, const QColor &border, const QColor &fill, qreal pixelRatio) const
{
    // A one-pixel pen around n pixels covers n + 1.
    const QSize covered = size + QSize(1, 1);
    if (m_circle.isNull() || m_circle.deviceIndependentSize().toSize() != covered ||
        m_circle.devicePixelRatio() != pixelRatio || border != m_circleBorder || fill != m_circleFill) {
        m_circle = QImage(covered * pixelRatio, QImage::Format_ARGB32_Premultiplied);
        m_circle.setDevicePixelRatio(pixelRatio);
        m_circle.fill(Qt::transparent);
        QPainter painter(&m_circle);
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setPen(QPen(border, 0));
        painter.setBrush(fill.isValid() ? QBrush(fill) : QBrush());
        painter.drawEllipse(QRect(QPoint(0, 0), size));
        m_circleBorder = border;
        m_circleFill = fill;
    }
    return m_circle;
}

void SurfaceShape::paint(QPainter &painter, const SurfaceScale &scale, const QPalette &palette) const
{
    // A one-pixel pen around a rectangle of n pixels covers n + 1; shrinking
    // by one keeps the border inside the box the layout gives.
    const QRect box = outline(scale).adjusted(0, 0, -1, -1);
    const QColor border = OleColor::toColor(m_borderColour, palette);
    const QColor fill = m_fillColour ? OleColor::toColor(*m_fillColour, palette) : QColor();
    if (m_kind == ShapeKind::Circle) {
        const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
        painter.drawImage(box.topLeft(), circle(box.size(), border, fill, ratio));
        return;
    }
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(border, 0));
    painter.setBrush(fill.isValid() ? QBrush(fill) : QBrush());
    painter.drawRect(box);
}

QRect SurfaceShape::bounds(const SurfaceScale &scale) const
{
    return outline(scale);
}
