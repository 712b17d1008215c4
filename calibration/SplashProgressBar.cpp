#include "SplashProgressBar.h"

#include "OleColor.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <qdrawutil.h>

namespace {

constexpr int BlockGap = 2;
constexpr std::uint32_t BlockColour = OleColor::system(13); // highlight

} // namespace

SplashProgressBar::SplashProgressBar(float min, float max, QWidget *parent)
    : QWidget(parent), m_min(min), m_max(max), m_value(min)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

// The original control refused a value outside its range with a run-time
// error; nothing here could report one, so the value is held at the nearer
// end instead, and a value that is not a number leaves the bar as it was.
void SplashProgressBar::SetValue(float value)
{
    if (std::isnan(value))
        return;
    m_value = std::clamp(value, m_min, m_max);
    update();
}

QRect SplashProgressBar::track() const
{
    return rect().adjusted(1, 1, -1, -1);
}

int SplashProgressBar::filledWidth() const
{
    const double share = (double(m_value) - m_min) / (double(m_max) - m_min);
    return int(std::lround(share * track().width()));
}

void SplashProgressBar::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    qDrawShadePanel(&painter, rect(), palette(), true, 1);

    const QRect inner = track();
    const int filled = filledWidth();
    if (filled <= 0)
        return;
    // Blocks two thirds as wide as they are tall; the last one is cut at
    // the value, so the fill ends exactly where the value lies.
    const int block = std::max(1, inner.height() * 2 / 3);
    painter.setClipRect(QRect(inner.left(), inner.top(), filled, inner.height()));
    const QColor colour = OleColor::toColor(BlockColour, palette());
    for (int x = inner.left(); x < inner.left() + filled; x += block + BlockGap)
        painter.fillRect(QRect(x, inner.top() + 1, block, inner.height() - 2), colour);
}
