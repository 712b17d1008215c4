#pragma once

#include "IClock.h"

struct DriveState;

using SpinFunction = void (*)(double);

// Times SpinLoop against the seconds-since-midnight clock and stores the
// iterations per second in state.LoopsPerSec. Always returns.
void MeasureLoopRate(DriveState &state, IClock &clock, SpinFunction spin = nullptr);
