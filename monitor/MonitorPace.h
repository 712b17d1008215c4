#pragma once

// How often the live view reads the drive: once per frame of the screen, but
// never more than 60 times a second, which is as often as an eye can tell,
// and never once per step: at 32767 steps per second a step lasts 31 µs, far
// less than a repaint.
namespace MonitorPace {

inline constexpr double MaxHz = 60.0;
// A screen that reports no rate, or one too low to be a real screen's, is
// taken as a 60 Hz one.
inline constexpr double MinHz = 24.0;

// The timer interval in whole milliseconds, rounded up so that the pace
// stays at or under the screen's.
int intervalMs(double refreshHz);

} // namespace MonitorPace
