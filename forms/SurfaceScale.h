#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

// Maps the coordinates a surface's items are given in onto its pixels. A
// window or frame counts in twips from its top-left corner; a picture box may
// declare its own scale, which then stretches over the box's pixel size.
class SurfaceScale
{
public:
    static SurfaceScale twips();
    static SurfaceScale user(double width, double height, QSize pixels);

    QPoint point(double x, double y) const;
    QRect rect(double left, double top, double width, double height) const;

private:
    SurfaceScale(double xPerPixel, double yPerPixel);

    double m_xPerPixel;
    double m_yPerPixel;
};
