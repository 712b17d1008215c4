#include "TargetReport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

struct RateTarget
{
    double from;
    double to;
    double errorPct;
};

// The rates between these ranges have no target of their own.
static constexpr RateTarget kRateTargets[] = {{1, 5000, 0.5}, {32767, 32767, 2.0}};

constexpr double kStepCostTargetUs = 1.5;
constexpr double kMonitorGrowthTargetPoints = 0.5;
constexpr double kP99TargetUs = 5.0;
constexpr double kP99Rate = 1000;
constexpr double kSpreadTargetPct = 0.5;
// No interval may come out shorter than this share of the period: a
// guarantee of the pacing, so no noise allowance.
constexpr double kShortestShare = 0.75;
// A loop the optimiser removed or folded would take the same time at every
// bound, a per-iteration cost falling tenfold per decade; a host that moves
// the loop's speed by tens of percent must not read as that.
constexpr double kLinearityLimitPct = 50.0;

void printCalibrationLines(const Report &r, double wantedSpread)
{
    const std::vector<double> rates = loopRates(r.calibrations);
    const std::vector<double> exact = monotonicRates(r.calibrations);
    std::printf("LoopsPerSec (first measurement, the one the runs used): %.6g iterations/s\n", rates.front());
    std::printf("LoopsPerSec spread over %zu measurements: %.2f %% (", rates.size(), wantedSpread);
    for (std::size_t i = 0; i < rates.size(); ++i)
        std::printf("%s%.5g", i ? ", " : "", rates[i]);
    std::printf(")\n  the same rounds timed on CLOCK_MONOTONIC: spread %.2f %%; the tool's clock put them off by",
                spreadPct(exact));
    for (std::size_t i = 0; i < rates.size(); ++i)
        std::printf("%s %+.2f %%", i ? "," : "", (rates[i] / exact[i] - 1.0) * 100.0);
    std::printf("; one measurement took %.2f s\n", r.calibrations.front().seconds);
    std::printf("  the loop's own speed (iterations over the thread's CPU time):");
    for (const Calibration &c : r.calibrations)
        std::printf(" %.4g", c.cpuRate);
    std::printf("; share of the CPU the measurement got:");
    for (const Calibration &c : r.calibrations)
        std::printf(" %.0f %%", c.monotonicRate / c.cpuRate * 100.0);
    std::printf("\n");
}

void printCostLines(const Report &r, double unpacedMedianNs)
{
    double total = 0;
    for (double ns : r.unpacedIntervalsNs)
        total += ns;
    const double unpacedRate = r.unpacedIntervalsNs.empty() ? 0 : r.unpacedIntervalsNs.size() * 1e9 / total;
    std::printf("Unpaced (N < 1): %.0f steps/s, median step %.3f us = event pass %.3f us + SendPort %.3f us"
                " + loop and stamp\n",
                unpacedRate, unpacedMedianNs / 1000, r.eventPassNs / 1000, r.sendPortNs / 1000);
    std::printf("Event pass: Qt's %s; one system call (getppid) costs %.3f us here, and every pass polls once\n",
                r.dispatcher.c_str(), r.systemCallNs / 1000);
    std::printf("SendPort with its address conversion: %.1f ns (conversion of \"&H378\" %.1f ns, Out32 on the"
                " virtual route %.1f ns; the bench's stamping port %.1f ns idle + %.1f ns per clock read)\n",
                r.sendPortNs, r.conversionNs, r.virtualOut32Ns, r.stampingOut32Ns, r.clockReadNs);
}

void printNoiseLines(const Report &r, double calibrationSpread)
{
    const auto [low, high] = std::minmax_element(r.waitsUs.begin(), r.waitsUs.end());
    std::printf("Noise floor: %zu consecutive 1 ms SpinLoop waits took %.1f to %.1f us (spread %.2f %%, "
                "median %.1f us); %zu measurements spread %.2f %%\n",
                r.waitsUs.size(), *low, *high, spreadPct(r.waitsUs), percentile(r.waitsUs, 50),
                r.calibrations.size(), calibrationSpread);
    std::printf("SpinLoop in this Release build, on thread CPU time (best of 3):");
    for (const SpinPoint &p : r.spin)
        std::printf(" N=%.0e %.3f ms (%.3f ns/it);", p.n, p.ns / 1e6, p.ns / p.n);
    const double deviation = spinNonLinearityPct(r.spin);
    std::printf("\n  cost per iteration varies by at most %.1f %% over 3 decades: %s\n", deviation,
                deviation <= kLinearityLimitPct ? "linear, the loop runs in full" : "NOT linear");
}

void printTarget(const char *what, double figure, const char *unit, double target, double noise)
{
    std::printf("  %-44s %9.3f %-3s <= %-6g noise %7.2f %-3s %s\n", what, figure, unit, target, noise, unit,
                verdictText(judge(figure, target, noise)));
}

void printTargets(const Report &r, double unpacedMedianNs, double calibrationSpread)
{
    std::printf("Load average at the end: %s\n", r.loadAverage.c_str());
    std::printf("\nTargets (\"within noise\": over the target but inside the noise floor measured above)\n");
    printTarget("event pass + write, median per step", unpacedMedianNs / 1000, "us", kStepCostTargetUs, 0);
    const auto [low, high] = std::minmax_element(r.waitsUs.begin(), r.waitsUs.end());
    double shortest = INFINITY;
    for (const StepTiming &row : r.rows) {
        shortest = std::min(shortest, row.shortestShare);
        const double target = rateErrorTargetPct(row.requested);
        if (target <= 0)
            continue;
        char what[64];
        std::snprintf(what, sizeof what, "|rate error| at %.0f steps/s, x%g", row.requested, row.loopsFactor);
        printTarget(what, std::fabs(row.rateErrorPct), "%", target, calibrationSpread);
        if (row.requested == kP99Rate) {
            std::snprintf(what, sizeof what, "p99 |interval error| at 1000 steps/s, x%g", row.loopsFactor);
            printTarget(what, row.p99Us, "us", kP99TargetUs, *high - *low);
        }
    }
    std::printf("  %-44s %9.1f %%   >= %-6g %s\n", "shortest interval, all rows", shortest * 100.0,
                kShortestShare * 100.0, shortest >= kShortestShare ? "met" : "MISSED");
    // The loop's own wander, plus what the tool's clock may add at each end.
    double clockPct = 0;
    for (const Calibration &c : r.calibrations)
        clockPct = std::max(clockPct, std::fabs(c.loopsPerSec / c.monotonicRate - 1.0) * 100.0);
    printTarget("LoopsPerSec spread over the measurements", calibrationSpread, "%", kSpreadTargetPct,
                spreadPct(monotonicRates(r.calibrations)) + 2 * clockPct);
    for (const MonitorComparison &row : r.monitorRows) {
        char what[64];
        std::snprintf(what, sizeof what, "rate error growth, view open, %.0f steps/s", row.requested);
        printTarget(what, monitorGrowthPoints(row), "pp", kMonitorGrowthTargetPoints, monitorNoisePoints(row));
    }
}

double meanAbsError(const std::vector<StepTiming> &runs)
{
    double sum = 0;
    for (const StepTiming &t : runs)
        sum += std::fabs(t.rateErrorPct);
    return runs.empty() ? 0 : sum / double(runs.size());
}

} // namespace

double monitorGrowthPoints(const MonitorComparison &row)
{
    return meanAbsError(row.open) - meanAbsError(row.closed);
}

double monitorNoisePoints(const MonitorComparison &row)
{
    if (row.closed.empty())
        return 0;
    const auto [low, high] = std::minmax_element(row.closed.begin(), row.closed.end(),
                                                 [](const StepTiming &a, const StepTiming &b) {
                                                     return a.rateErrorPct < b.rateErrorPct;
                                                 });
    return high->rateErrorPct - low->rateErrorPct;
}

Verdict judge(double figure, double target, double noise)
{
    if (figure <= target)
        return Verdict::Met;
    return figure <= noise ? Verdict::WithinNoise : Verdict::Missed;
}

const char *verdictText(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Met:
        return "met";
    case Verdict::WithinNoise:
        return "within noise";
    case Verdict::Missed:
        return "MISSED";
    }
    return "";
}

double rateErrorTargetPct(double requested)
{
    for (const RateTarget &t : kRateTargets) {
        if (requested >= t.from && requested <= t.to)
            return t.errorPct;
    }
    return 0;
}

void printReport(const Report &r)
{
    const double calibrationSpread = spreadPct(loopRates(r.calibrations));
    const double unpacedMedianNs = percentile(r.unpacedIntervalsNs, 50);
    printCalibrationLines(r, calibrationSpread);
    printCostLines(r, unpacedMedianNs);
    printNoiseLines(r, calibrationSpread);
    printTargets(r, unpacedMedianNs, calibrationSpread);
}
