#include "SurfaceScale.h"

#include "Twips.h"

#include <cmath>

SurfaceScale::SurfaceScale(double xPerPixel, double yPerPixel)
    : m_xPerPixel(xPerPixel), m_yPerPixel(yPerPixel)
{
}

SurfaceScale SurfaceScale::twips()
{
    return SurfaceScale(Twips::PerPixel, Twips::PerPixel);
}

SurfaceScale SurfaceScale::user(double width, double height, QSize pixels)
{
    return SurfaceScale(width / pixels.width(), height / pixels.height());
}

QPoint SurfaceScale::point(double x, double y) const
{
    return QPoint(int(std::lround(x / m_xPerPixel)), int(std::lround(y / m_yPerPixel)));
}

QRect SurfaceScale::rect(double left, double top, double width, double height) const
{
    // Position and size are rounded apart, as Twips::rect does for controls,
    // so an item and a control given the same numbers cover the same pixels.
    return QRect(point(left, top), QSize(int(std::lround(width / m_xPerPixel)),
                                         int(std::lround(height / m_yPerPixel))));
}
