#pragma once

#include "IBusyWait.h"

// The empty counted loop that paces the motor and that the start-up
// measurement times: floor(n) iterations for n >= 1, none below 1.
void SpinLoop(double n);

// SpinLoop as the run loop's busy wait. Holds no state, so one serves all.
IBusyWait &spinLoopWait();
