#pragma once

// The reference pacing, for the benchmark only: instead of counting loop
// iterations, each wait spins on CLOCK_MONOTONIC until the step's absolute
// deadline, and the next deadline is one period after this one was due, not
// after it was met. A late step therefore shortens the next wait instead of
// delaying every later step, and the per-step costs outside the wait are
// absorbed as long as they are shorter than the period.
// Fits MotorDrive's wait slot; the bound it is handed is ignored.
void DeadlineWait(double ignoredBound);

// Sets the period and puts the first deadline one period from now.
void StartDeadlines(double stepsPerSec);
