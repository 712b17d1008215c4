#include "FrameControl.h"

#include <QPainter>

FrameControl::FrameControl(const QString &caption, QWidget *parent) : QGroupBox(caption, parent)
{
}

void FrameControl::paintEvent(QPaintEvent *event)
{
    QGroupBox::paintEvent(event);
    QPainter painter(this);
    m_surface.paint(painter, surfaceScale(), palette());
}
