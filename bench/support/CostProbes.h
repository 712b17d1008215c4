#pragma once

#include "IEventPump.h"
#include "IPort.h"

#include <vector>

class MotorDrive;

// Median cost of one call in nanoseconds, over 200 batches of 1000 calls:
// a batch that a preemption landed in is an outlier, not a cost.
double clockReadNs();
double eventPassNs(IEventPump &pump);
double sendPortNs(MotorDrive &drive);
double addressConversionNs();
double out32Ns(IPort &port);

// The cheapest system call there is: what any event pass that polls pays
// at least once.
double systemCallNs();

// SpinLoop timed at growing bounds on the thread's CPU time, best of three
// each, so time spent descheduled is not counted. Time that grows with N at
// a steady cost per iteration shows the loop really runs.
struct SpinPoint
{
    double n = 0;
    double ns = 0;
};
std::vector<SpinPoint> spinLinearity();
// Worst relative deviation of any point's cost per iteration from the
// largest bound's, in percent.
double spinNonLinearityPct(const std::vector<SpinPoint> &points);

// `count` consecutive waits of SpinLoop(n), each timed on CLOCK_MONOTONIC, in µs.
std::vector<double> timedWaitsUs(double n, int count);
