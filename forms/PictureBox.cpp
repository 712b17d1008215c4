#include "PictureBox.h"

#include "Twips.h"

#include <QPaintEvent>
#include <QPainter>

PictureBox::PictureBox(QWidget *parent) : QWidget(parent)
{
    setAutoFillBackground(true);
}

void PictureBox::setPicture(const QImage &picture)
{
    m_picture = picture;
    update();
}

void PictureBox::setScale(double scaleWidth, double scaleHeight)
{
    m_scaleWidth = scaleWidth;
    m_scaleHeight = scaleHeight;
    update();
}

SurfaceScale PictureBox::surfaceScale() const
{
    // Until a user scale is set, the box counts in twips like its container.
    if (m_scaleWidth <= 0 || m_scaleHeight <= 0 || width() <= 0 || height() <= 0)
        return SurfaceScale::twips();
    return SurfaceScale::user(m_scaleWidth, m_scaleHeight, size());
}

void PictureBox::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.drawImage(QPoint(0, 0), m_picture);
    m_surface.paint(painter, surfaceScale(), palette(), event->region());
}
