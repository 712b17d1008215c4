#pragma once

#include "SurfaceItem.h"

#include <cstdint>
#include <optional>

enum class ShapeKind { Rectangle, Circle };

// A rectangle or circle with a one-pixel border, optionally filled opaque. A
// circle takes the smaller side of its box as diameter and sits centred in it.
class SurfaceShape : public SurfaceItem
{
public:
    SurfaceShape(QString name, ShapeKind kind, double left, double top, double width, double height,
                 std::uint32_t borderColour, std::optional<std::uint32_t> fillColour);

    // A lamp lights and a drawing moves by changing its items in place; the
    // container repaints the old and new bounds.
    void setFillColour(std::optional<std::uint32_t> colour) { m_fillColour = colour; }
    void moveTo(double left, double top)
    {
        m_left = left;
        m_top = top;
    }

    void paint(QPainter &painter, const SurfaceScale &scale, const QPalette &palette) const override;
    // A part wholly inside a filled circle is that fill: the disc behind a
    // live view's moving hand is repainted 60 times a second, and working
    // out its whole outline each time costs more than all the rest.
    void paintPart(QPainter &painter, const SurfaceScale &scale, const QPalette &palette,
                   const QRegion &dirty) const override;
    QRect bounds(const SurfaceScale &scale) const override;

private:
    QRect outline(const SurfaceScale &scale) const;
    bool holds(const QRegion &part, const SurfaceScale &scale) const;

    ShapeKind m_kind;
    double m_left;
    double m_top;
    double m_width;
    double m_height;
    std::uint32_t m_borderColour;
    std::optional<std::uint32_t> m_fillColour;
};
