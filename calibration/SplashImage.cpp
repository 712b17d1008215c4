#include "SplashImage.h"

#include <QPainter>

SplashImage::SplashImage(QString name, double left, double top, double width, double height,
                         QImage picture)
    : SurfaceItem(std::move(name)), m_left(left), m_top(top), m_width(width), m_height(height),
      m_picture(std::move(picture))
{
}

void SplashImage::paint(QPainter &painter, const SurfaceScale &scale, const QPalette &) const
{
    if (!m_picture.isNull())
        painter.drawImage(bounds(scale), m_picture);
}

QRect SplashImage::bounds(const SurfaceScale &scale) const
{
    return scale.rect(m_left, m_top, m_width, m_height);
}
