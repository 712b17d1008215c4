#pragma once

#include "SurfaceItem.h"

#include <cstdint>

// A straight one-pixel line between two points of the container's scale. Its
// end points move freely; the container clips whatever lies outside it.
class SurfaceLine : public SurfaceItem
{
public:
    SurfaceLine(QString name, double x1, double y1, double x2, double y2, std::uint32_t colour);

    double x1() const { return m_x1; }
    double y1() const { return m_y1; }
    double x2() const { return m_x2; }
    double y2() const { return m_y2; }
    std::uint32_t colour() const { return m_colour; }

    void setY1(double y) { m_y1 = y; }
    void setY2(double y) { m_y2 = y; }
    void setPoints(double x1, double y1, double x2, double y2)
    {
        m_x1 = x1;
        m_y1 = y1;
        m_x2 = x2;
        m_y2 = y2;
    }

    void paint(QPainter &painter, const SurfaceScale &scale, const QPalette &palette) const override;
    QRect bounds(const SurfaceScale &scale) const override;

private:
    double m_x1;
    double m_y1;
    double m_x2;
    double m_y2;
    std::uint32_t m_colour;
};
