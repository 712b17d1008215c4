#pragma once

#include "CalibrationProbe.h"
#include "CostProbes.h"
#include "IntervalStats.h"

#include <string>
#include <vector>

// The same rate run alternately with the live view of the outputs closed
// and open, in one process, so both see the same machine.
struct MonitorComparison
{
    double requested = 0;
    std::vector<StepTiming> closed;
    std::vector<StepTiming> open;
    std::vector<double> readingsPerSec; // the view's own pace in each open run
};

// Everything one benchmark run measured, for the lines after the table and
// the targets block.
struct Report
{
    std::vector<Calibration> calibrations;
    std::vector<StepTiming> rows;
    std::vector<MonitorComparison> monitorRows;
    std::vector<double> unpacedIntervalsNs;
    double eventPassNs = 0;
    double clockReadNs = 0;
    double systemCallNs = 0;
    std::string dispatcher;
    std::string loadAverage;
    double sendPortNs = 0;
    double conversionNs = 0;
    double virtualOut32Ns = 0;
    double stampingOut32Ns = 0;
    std::vector<double> waitsUs; // consecutive 1 ms waits
    std::vector<SpinPoint> spin;
};

enum class Verdict { Met, WithinNoise, Missed };

// A figure at or under its target is met; one over it but no larger than
// the machine's own noise says nothing about the code, so it is not missed.
Verdict judge(double figure, double target, double noise);
const char *verdictText(Verdict verdict);

// The rate-error target for a requested rate; 0 where it sets none.
double rateErrorTargetPct(double requested);

// How much worse the rate error is with the view open than closed, in
// percentage points of the requested rate (means over the runs), and the
// spread of the closed runs' errors, the noise to read it against.
double monitorGrowthPoints(const MonitorComparison &row);
double monitorNoisePoints(const MonitorComparison &row);

void printReport(const Report &report);
