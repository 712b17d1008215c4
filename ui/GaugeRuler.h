#pragma once

#include <QImage>

// The picture behind the speed gauge: a grey 20 x 126 pixel ruler with black
// ticks drawn from its left edge. Long ticks sit level with the scale labels
// 500, 400 ... 0; a medium tick halves each interval and short ticks divide it
// into ten, alternately 2 and 3 rows apart.
namespace GaugeRuler {

inline constexpr int Width = 20;
inline constexpr int Height = 126;

QImage image();

} // namespace GaugeRuler
