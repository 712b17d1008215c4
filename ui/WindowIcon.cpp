#include "WindowIcon.h"

#include <QPainter>

namespace {

struct Lead
{
    int y;
    QRgb colour;
};

// The same wire colours as the help window's drawing.
constexpr Lead Leads[] = {
    {9, 0xFF202020}, {13, 0xFFFFC080}, {17, 0xFFFF0000}, {21, 0xFFFFFF00},
};

} // namespace

namespace WindowIcon {

QImage image()
{
    QImage picture(32, 32, QImage::Format_RGB888);
    picture.fill(QColor(0xC0, 0xC0, 0xC0));
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    for (const Lead &lead : Leads) {
        painter.setPen(QPen(QColor(lead.colour), 2));
        painter.drawLine(1, lead.y, 14, lead.y);
    }
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(QColor(0x00, 0x00, 0x40));
    painter.drawEllipse(QRectF(10.5, 4.5, 20, 22));
    painter.setBrush(QColor(0xC0, 0xC0, 0xC0));
    painter.drawEllipse(QRectF(17.5, 12.5, 6, 6));
    painter.fillRect(QRect(12, 27, 17, 4), QColor(0x40, 0x40, 0x40));
    return picture;
}

QIcon icon()
{
    return QIcon(QPixmap::fromImage(image()));
}

} // namespace WindowIcon
