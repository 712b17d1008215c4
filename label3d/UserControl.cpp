#include "UserControl.h"

#include "OleColor.h"
#include "Twips.h"

#include <QPainter>

UserControl::UserControl(QWidget *parent)
    : QWidget(parent)
{
}

void UserControl::applySize()
{
    resize(Twips::size(m_width, m_height));
    emit SizeChanged();
}

void UserControl::SetWidth(float twips)
{
    m_width = twips;
    applySize();
}

void UserControl::SetHeight(float twips)
{
    m_height = twips;
    applySize();
}

void UserControl::SetExtent(float widthTwips, float heightTwips)
{
    m_width = widthTwips;
    m_height = heightTwips;
    applySize();
}

void UserControl::SetBackColor(quint32 color)
{
    m_backColor = color;
    update();
}

void UserControl::Refresh()
{
    repaint();
}

void UserControl::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), OleColor::toColor(m_backColor));
}
