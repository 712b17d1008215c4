#pragma once

#include "SurfaceScale.h"

#include <QString>

class QPainter;
class QRegion;
class QPalette;

// A windowless item drawn straight onto its container's surface: a line, a
// shape or a label. Such items never take the mouse or the focus themselves;
// the container hit-tests them.
class SurfaceItem
{
public:
    explicit SurfaceItem(QString name) : m_name(std::move(name)) {}
    virtual ~SurfaceItem() = default;

    const QString &name() const { return m_name; }

    // Stored colours are resolved against the container's palette at paint
    // time, so system colours follow the desktop scheme.
    virtual void paint(QPainter &painter, const SurfaceScale &scale, const QPalette &palette) const = 0;
    virtual QRect bounds(const SurfaceScale &scale) const = 0;

    // A repaint of `dirty` alone; an item that can cover that part with
    // less work than drawing itself whole does so here.
    virtual void paintPart(QPainter &painter, const SurfaceScale &scale, const QPalette &palette,
                           const QRegion &dirty) const
    {
        (void)dirty;
        paint(painter, scale, palette);
    }

private:
    QString m_name;
};
