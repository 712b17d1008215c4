#include "FrameControl.h"

#include <QPaintEvent>
#include <QPainter>
#include <QStyle>
#include <qdrawutil.h>

FrameControl::FrameControl(const QString &caption, QWidget *parent) : QGroupBox(caption, parent)
{
}

// Drawn as the window designer draws a frame: an etched border round the
// whole rectangle, its top line running through the middle of the caption,
// which interrupts it a little in from the left (a frame without a caption
// has its top line at the top). The style's group box puts
// the caption above a border that starts lower down, where it crossed the
// controls the layout places near the frame's top.
void FrameControl::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    const QFontMetrics metrics(font());
    const QString caption = title();
    const int lineY = caption.isEmpty() ? 0 : metrics.height() / 2;
    const QRect border(0, lineY, width(), height() - lineY);
    // A repaint of an item inside the frame, below the caption, leaves
    // border and caption be.
    const QRect inside(2, metrics.height(), width() - 4, height() - metrics.height() - 2);
    if (!inside.contains(event->rect()))
        paintBorder(painter, metrics, caption, border);
    m_surface.paint(painter, surfaceScale(), palette(), event->region());
}

void FrameControl::paintBorder(QPainter &painter, const QFontMetrics &metrics, const QString &caption,
                               const QRect &border)
{
    qDrawShadeRect(&painter, border, palette(), true, 1);
    if (!caption.isEmpty()) {
        constexpr int CaptionLeft = 6;
        constexpr int CaptionGap = 2;
        const int textWidth = metrics.horizontalAdvance(caption);
        const QRect gap(CaptionLeft, 0, textWidth + 2 * CaptionGap, metrics.height());
        painter.fillRect(gap, palette().window());
        style()->drawItemText(&painter, gap, Qt::AlignCenter | Qt::TextShowMnemonic, palette(),
                              isEnabled(), caption, QPalette::WindowText);
    }
}
