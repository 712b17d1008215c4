#include "DeadlineWait.h"

#include "MonotonicNs.h"

namespace {

// A plain function pointer carries no state, so the schedule lives here.
// Kept in double nanoseconds: an integer period would round every step and
// drift by up to half a nanosecond per step.
double s_periodNs = 1e9;
double s_nextDueNs = 0;

} // namespace

void StartDeadlines(double stepsPerSec)
{
    s_periodNs = 1e9 / stepsPerSec;
    s_nextDueNs = static_cast<double>(monotonicNs()) + s_periodNs;
}

void DeadlineWait(double)
{
    while (static_cast<double>(monotonicNs()) < s_nextDueNs) {
    }
    s_nextDueNs += s_periodNs;
}
