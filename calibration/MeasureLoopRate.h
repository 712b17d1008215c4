#pragma once

#include "IBusyWait.h"
#include "IClock.h"
#include "SpinLoop.h"

struct DriveState;

// Times the busy wait the run loop paces its steps with (SpinLoop) against
// the seconds-since-midnight clock and stores the iterations per second in
// state.LoopsPerSec. Always returns.
void MeasureLoopRate(DriveState &state, IClock &clock, IBusyWait &wait = spinLoopWait());
