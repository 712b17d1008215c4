#include "Surface.h"

#include <QPainter>

SurfaceItem *Surface::find(const QString &name) const
{
    for (const auto &item : m_items) {
        if (item->name() == name)
            return item.get();
    }
    return nullptr;
}

SurfaceItem *Surface::itemAt(QPoint pixel, const SurfaceScale &scale) const
{
    for (const auto &item : m_items) {
        if (item->bounds(scale).contains(pixel))
            return item.get();
    }
    return nullptr;
}

void Surface::paint(QPainter &painter, const SurfaceScale &scale, const QPalette &palette,
                    const QRect &dirty) const
{
    for (auto it = m_items.rbegin(); it != m_items.rend(); ++it) {
        // A line's box is one pixel short of its end points; widened so a
        // horizontal or vertical line is never taken for an empty box.
        if (dirty.isNull() || (*it)->bounds(scale).adjusted(-1, -1, 1, 1).intersects(dirty))
            (*it)->paint(painter, scale, palette);
    }
}
