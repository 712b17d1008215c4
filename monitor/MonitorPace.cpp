#include "MonitorPace.h"

#include <algorithm>
#include <cmath>

namespace MonitorPace {

int intervalMs(double refreshHz)
{
    const double hz = std::isfinite(refreshHz) && refreshHz >= MinHz ? std::min(refreshHz, MaxHz) : MaxHz;
    return int(std::ceil(1000.0 / hz));
}

} // namespace MonitorPace
