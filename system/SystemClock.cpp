#include "SystemClock.h"

#include <QTime>

float SystemClock::secondsSinceMidnight()
{
    return static_cast<float>(QTime::currentTime().msecsSinceStartOfDay() / 1000.0);
}
