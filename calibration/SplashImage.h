#pragma once

#include "SurfaceItem.h"

#include <QImage>

// A windowless image box: its picture is stretched over the whole box, so
// the picture's proportions give way to the box's.
class SplashImage : public SurfaceItem
{
public:
    SplashImage(QString name, double left, double top, double width, double height, QImage picture);

    const QImage &picture() const { return m_picture; }

    void paint(QPainter &painter, const SurfaceScale &scale, const QPalette &palette) const override;
    QRect bounds(const SurfaceScale &scale) const override;

private:
    double m_left;
    double m_top;
    double m_width;
    double m_height;
    QImage m_picture;
};
