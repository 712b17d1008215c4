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

void Surface::paint(QPainter &painter, const SurfaceScale &scale, const QPalette &palette,
                    const QRegion &dirty) const
{
    for (auto it = m_items.rbegin(); it != m_items.rend(); ++it) {
        // Only an empty box is widened (a box meets nothing): widening them
        // all would repaint every neighbour that merely touches the dirty
        // rectangle, and lay out its text again.
        const QRect box = (*it)->bounds(scale);
        if (dirty.isEmpty())
            (*it)->paint(painter, scale, palette);
        else if (dirty.intersects(box.isEmpty() ? box.adjusted(0, 0, 1, 1) : box))
            (*it)->paintPart(painter, scale, palette, dirty);
    }
}
