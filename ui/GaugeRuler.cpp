#include "GaugeRuler.h"

#include <QPainter>
#include <cmath>

namespace {

constexpr QRgb Grey = 0xFFBFBFBF;
constexpr QRgb Black = 0xFF000000;

constexpr int LongTick = 19;
constexpr int MediumTick = 10;
constexpr int ShortTick = 5;

// Rows of the long ticks and, per interval, of the medium tick between them.
// The first half-way mark lies one row lower than the others; the short
// ticks follow it, so each half of an interval splits into five.
constexpr int LongRows[] = {0, 25, 50, 75, 100, 125};
constexpr int MediumRows[] = {13, 37, 62, 87, 112};

void drawTick(QImage &ruler, int row, int length)
{
    for (int x = 0; x < length; ++x)
        ruler.setPixel(x, row, Black);
}

// Four short ticks evenly between two marks, rounded to whole rows.
void drawShortTicks(QImage &ruler, int from, int to)
{
    for (int i = 1; i < 5; ++i)
        drawTick(ruler, int(std::lround(from + (to - from) * i / 5.0)), ShortTick);
}

} // namespace

namespace GaugeRuler {

QImage image()
{
    QImage ruler(Width, Height, QImage::Format_RGB888);
    ruler.fill(Grey);
    for (int i = 0; i < 5; ++i) {
        drawShortTicks(ruler, LongRows[i], MediumRows[i]);
        drawShortTicks(ruler, MediumRows[i], LongRows[i + 1]);
        drawTick(ruler, MediumRows[i], MediumTick);
    }
    for (int row : LongRows)
        drawTick(ruler, row, LongTick);
    return ruler;
}

} // namespace GaugeRuler
