#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <cmath>

// Window layouts are given in twips. This is the one place they become
// pixels: 15 twips per device-independent pixel, which Qt scales further on
// high-DPI screens.
namespace Twips {

inline constexpr double PerPixel = 15.0;

inline int toPixels(double twips)
{
    return static_cast<int>(std::lround(twips / PerPixel));
}

inline double fromPixels(double pixels)
{
    return pixels * PerPixel;
}

inline QPoint point(double left, double top)
{
    return QPoint(toPixels(left), toPixels(top));
}

inline QSize size(double width, double height)
{
    return QSize(toPixels(width), toPixels(height));
}

inline QRect rect(double left, double top, double width, double height)
{
    return QRect(point(left, top), size(width, height));
}

} // namespace Twips
