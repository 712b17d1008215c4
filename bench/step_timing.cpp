// How close the motor's step rate comes to the rate asked for, through the
// tool's own code: the start-up measurement, the main window's "Start", the
// run loop with Qt's event pass, and SendPort. Prints one table and the
// figures to read it against; see docs/step-timing.md for how to run and read it.

#include "BusyProcesses.h"
#include "CalibrationProbe.h"
#include "CostProbes.h"
#include "DriveState.h"
#include "IntervalStats.h"
#include "KernelScheduling.h"
#include "MonitorWindow.h"
#include "MotorDrive.h"
#include "PortAccess.h"
#include "RealtimeKitClient.h"
#include "SpinLoop.h"
#include "StepBench.h"
#include "SystemClock.h"
#include "TargetReport.h"
#include "ThreadPriority.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QThread>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <span>

namespace {

struct Options
{
    bool quick = false;
    bool viewOnly = false;
    bool loadedOnly = false;
    int calibrations = 5;
    double runSeconds = 1.0;
    std::size_t slowestSteps = 4; // at 1 step/s: three intervals
};

static constexpr int kRates[] = {1, 10, 100, 500, 1000, 2000, 5000, 10000, 20000, 32767};
// LoopsPerSec as measured, and as if the processor had since become twice
// as fast or half as fast: the rates delivered must not move.
static constexpr double kLoopsFactors[] = {1.0, 0.5, 2.0};
// The rates run with the live view of the outputs (--monitor) closed and
// open in turn, each this many times a side.
static constexpr int kMonitorRates[] = {1000, 10000, 32767};
static constexpr int kMonitorRounds = 3;
static constexpr std::size_t kMinSteps = 20;
static constexpr std::size_t kUnpacedSteps = 300000;
static constexpr int kNoiseWaits = 20;

std::size_t stepsFor(int rate, const Options &options)
{
    if (rate == 1)
        return options.slowestSteps;
    return std::max(kMinSteps, static_cast<std::size_t>(rate * options.runSeconds));
}

void printRow(const char *label, const StepTiming &t)
{
    std::printf("%-10s %10.1f %8.3f %9.2f %9.2f %9.2f %8.1f %8.2f %6.0f %7zu\n", label, t.meanRate,
                t.rateErrorPct, t.medianUs, t.p99Us, t.maxUs, t.shortestShare * 100.0, t.outsideShare * 100.0,
                t.cpuShare * 100.0, t.steps);
}

void printTableHead()
{
    std::printf("%-10s %10s %8s %29s %8s %8s %6s %7s\n", "requested", "achieved", "error",
                "|interval - 1/requested| us", "shortest", "outside", "cpu", "steps");
    std::printf("%-10s %10s %8s %9s %9s %9s %8s %8s %6s\n", "steps/s", "steps/s", "%", "median", "p99", "max",
                "% period", "wait %", "%");
}

StepTiming timedRun(StepBench &bench, int rate, std::size_t steps, double *readingsPerSec)
{
    const int before = bench.monitor() ? bench.monitor()->readings() : 0;
    StepTiming timing = bench.runAt(rate, steps);
    if (readingsPerSec && bench.monitor() && timing.meanRate > 0)
        *readingsPerSec = (bench.monitor()->readings() - before) / (double(timing.steps) / timing.meanRate);
    return timing;
}

// Closed ("off"), open ("on"), closed, open...: a machine whose load drifts during the
// comparison shifts both sides alike.
std::vector<MonitorComparison> compareMonitor(StepBench &bench, const Options &options)
{
    std::vector<MonitorComparison> rows;
    std::printf("Live view of the outputs (--monitor) closed and open in turn, LoopsPerSec x1\n");
    printTableHead();
    for (int rate : kMonitorRates) {
        MonitorComparison row;
        row.requested = rate;
        for (int round = 0; round < kMonitorRounds; ++round) {
            for (bool open : {false, true}) {
                std::fprintf(stderr, "step_timing: view %s, %d steps/s\n", open ? "open" : "closed", rate);
                bench.setMonitor(open);
                double pace = 0;
                const StepTiming timing = timedRun(bench, rate, stepsFor(rate, options), &pace);
                char label[16];
                std::snprintf(label, sizeof label, "%d %s", rate, open ? "on" : "off");
                printRow(label, timing);
                (open ? row.open : row.closed).push_back(timing);
                if (open)
                    row.readingsPerSec.push_back(pace);
            }
        }
        bench.setMonitor(false);
        std::printf("  %d steps/s: the view read the drive", rate);
        for (double pace : row.readingsPerSec)
            std::printf(" %.1f", pace);
        std::printf(" times a second; rate error grew %+.3f points (closed runs spread %.3f)\n",
                    monitorGrowthPoints(row), monitorNoisePoints(row));
        std::printf("  event passes over %.0f us, a second: closed", kSlowPassNs / 1000);
        for (const StepTiming &t : row.closed)
            std::printf(" %.0f", t.slowPassesPerSec);
        std::printf("; open");
        for (const StepTiming &t : row.open)
            std::printf(" %.0f (median %.1f us)", t.slowPassesPerSec, t.slowPassMedianUs);
        std::printf("\n");
        rows.push_back(row);
    }
    std::printf("\n");
    return rows;
}

std::vector<Calibration> calibrate(const Options &options)
{
    SystemClock clock;
    std::vector<Calibration> runs;
    for (int i = 0; i < options.calibrations; ++i) {
        std::fprintf(stderr, "step_timing: measurement %d of %d\n", i + 1, options.calibrations);
        runs.push_back(calibrateOnce(clock));
    }
    return runs;
}

// SendPort as the tool runs it here: the address box's text converted at
// every write, then the virtual route of the real port layer.
struct WriteCosts
{
    double sendPortNs, conversionNs, virtualOut32Ns, stampingOut32Ns;
};

WriteCosts measureWriteCosts(StepBench &bench)
{
    PortAccessOptions portOptions;
    portOptions.mode = PortMode::Virtual;
    PortAccess virtualPort(portOptions);
    DriveState state;
    ModeFlags modes;
    const auto drive = bench.driveOn(state, modes, virtualPort, spinLoopWait());
    drive->InitDrive(QStringLiteral("&H378"));
    // Armed for no steps: the stamping port's cost here is its idle store,
    // its stamped cost is the clock read on top of that.
    bench.port().arm(0, nullptr);
    return {sendPortNs(*drive), addressConversionNs(), out32Ns(virtualPort), out32Ns(bench.port())};
}

// The tool's own priority service, asked only while switched on: the
// tables without load and the first loaded one run as the tool would
// without the raise.
class SwitchedPriority final : public IRunPriority
{
public:
    explicit SwitchedPriority(ThreadPriority &priority) : m_priority(priority) {}
    void raiseForRun() override
    {
        if (m_on)
            m_priority.raiseForRun();
    }
    void restoreAfterRun() override
    {
        if (m_on)
            m_priority.restoreAfterRun();
    }
    void setOn(bool on) { m_on = on; }

private:
    ThreadPriority &m_priority;
    bool m_on = false;
};

const char *wayText(ThreadPriority::Way way)
{
    switch (way) {
    case ThreadPriority::Way::Direct:
        return "setpriority on the thread";
    case ThreadPriority::Way::RealtimeKit:
        return "RealtimeKit";
    case ThreadPriority::Way::Asking:
        return "RealtimeKit, still unanswered";
    case ThreadPriority::Way::None:
        return "not granted";
    }
    return "";
}

// Read while the last run's raise is still on, if any was.
std::string groupText(ISchedulingCalls &scheduling, const ThreadPriority &priority)
{
    int nice = 0;
    if (scheduling.autogroupNice(nice) != 0)
        return "does not count (autogroups off)";
    return std::string(priority.isGroupRaised() ? "raised with it" : "not raised") + ", at nice " +
           std::to_string(nice) + " now";
}

void printLoadedTargets(const std::vector<StepTiming> &rows, double noisePct)
{
    double shortest = INFINITY;
    for (const StepTiming &row : rows) {
        shortest = std::min(shortest, row.shortestShare);
        const double target = rateErrorTargetPct(row.requested);
        if (target <= 0)
            continue;
        const double figure = std::fabs(row.rateErrorPct);
        // Judged strictly: beside this load the noise floor is the load's own
        // preemptions, which is what the raise is there to beat.
        std::printf("  |rate error| at %-5.0f steps/s, priority raised %9.3f %%   <= %-4g (noise %.2f %%)  %s\n",
                    row.requested, figure, target, noisePct, verdictText(judge(figure, target, 0)));
    }
    std::printf("  shortest interval, all rows, priority raised %9.1f %%   >= 75   %s\n", shortest * 100.0,
                shortest >= 0.75 ? "met" : "MISSED");
}

// The same rows beside other work: two busy processes per CPU, once as the
// tool runs without the raise and once with it. The noise floor is taken
// under the same load and priority as its table.
void printLoadedTables(StepBench &bench, SwitchedPriority &switched, ThreadPriority &priority,
                       ISchedulingCalls &scheduling, const Options &options, double loopsPerSec)
{
    const int busy = 2 * QThread::idealThreadCount();
    std::vector<StepTiming> raisedRows;
    double raisedNoise = 0;
    for (bool raised : {false, true}) {
        switched.setOn(raised);
        BusyProcesses others(busy, 120.0);
        std::printf("Beside %d busy processes (two per CPU, in a session of their own), LoopsPerSec x1, %s\n",
                    others.count(),
                    raised ? "priority raised" : "without the raise (nice 0)");
        printTableHead();
        for (int rate : kRates) {
            std::fprintf(stderr, "step_timing: loaded, %s, %d steps/s\n", raised ? "raised" : "not raised", rate);
            const StepTiming timing = bench.runAt(rate, stepsFor(rate, options));
            char label[16];
            std::snprintf(label, sizeof label, "%d", rate);
            printRow(label, timing);
            if (raised)
                raisedRows.push_back(timing);
        }
        switched.raiseForRun();
        const std::vector<double> waits = timedWaitsUs(loopsPerSec / 1000.0, kNoiseWaits);
        const std::string group = groupText(scheduling, priority);
        switched.restoreAfterRun();
        const auto [low, high] = std::minmax_element(waits.begin(), waits.end());
        std::printf("Noise floor beside them: %d consecutive 1 ms SpinLoop waits took %.1f to %.1f us "
                    "(spread %.2f %%)\n",
                    kNoiseWaits, *low, *high, spreadPct(waits));
        if (raised) {
            raisedNoise = spreadPct(waits);
            std::printf("Priority: %s, nice %d; the session's group %s\n", wayText(priority.way()), priority.level(),
                        group.c_str());
        }
        std::printf("\n");
    }
    switched.setOn(false);
    std::printf("Targets beside the load, with the priority raised:\n");
    printLoadedTargets(raisedRows, raisedNoise);
}

std::string loadAverage()
{
    std::ifstream file("/proc/loadavg");
    std::string one, five, fifteen;
    file >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

Options parse(int argc, char **argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0) {
            const Options only = options;
            options = {true, only.viewOnly, only.loadedOnly, 3, 0.25, 2};
        } else if (std::strcmp(argv[i], "--view") == 0) {
            options.viewOnly = true;
        } else if (std::strcmp(argv[i], "--loaded") == 0) {
            options.loadedOnly = true;
        } else {
            std::fprintf(stderr, "usage: step_timing [--quick] [--view | --loaded]\n"
                                 "  --quick  3 measurements and quarter-second runs\n"
                                 "  --view   only the rows with the live view closed and open\n"
                                 "  --loaded only the tables beside busy processes\n");
            std::exit(std::strcmp(argv[i], "--help") == 0 ? 0 : 2);
        }
    }
    return options;
}

} // namespace

int main(int argc, char **argv)
{
    const Options options = parse(argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QUARNET_PORT", "virtual");
    // The same event dispatcher as the tool itself (see main.cpp).
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    QApplication app(argc, argv);

    // Measured first, on a quiet process, as the tool does at start-up; the
    // first figure is the one the runs use, as the tool keeps its first.
    const std::vector<Calibration> calibrations = calibrate(options);
    constexpr int priorityAnswerMs = 1000;
    KernelScheduling scheduling;
    RealtimeKitClient realtimeKit(priorityAnswerMs);
    ThreadPriority priority(scheduling, realtimeKit, priorityAnswerMs);
    SwitchedPriority switched(priority);
    StepBench bench(calibrations.front().loopsPerSec, switched);

    Report report;
    report.calibrations = calibrations;
    report.loadAverage = loadAverage();
    std::printf("Machine: %d CPUs, load average %s (others' work shares them with this run)\n\n",
                QThread::idealThreadCount(), report.loadAverage.c_str());
    if (options.loadedOnly) {
        printLoadedTables(bench, switched, priority, scheduling, options, calibrations.front().loopsPerSec);
        return 0;
    }
    for (double factor : kLoopsFactors) {
        if (options.viewOnly)
            break;
        bench.state().LoopsPerSec = calibrations.front().loopsPerSec * factor;
        std::printf("LoopsPerSec x%g (%.4g iterations/s)\n", factor, bench.state().LoopsPerSec);
        printTableHead();
        for (int rate : kRates) {
            std::fprintf(stderr, "step_timing: x%g, %d steps/s\n", factor, rate);
            StepTiming timing = bench.runAt(rate, stepsFor(rate, options));
            timing.loopsFactor = factor;
            char label[16];
            std::snprintf(label, sizeof label, "%d", rate);
            printRow(label, timing);
            report.rows.push_back(timing);
        }
        std::printf("\n");
    }
    bench.state().LoopsPerSec = calibrations.front().loopsPerSec;
    report.monitorRows = compareMonitor(bench, options);
    if (options.viewOnly)
        return 0;

    report.unpacedIntervalsNs = bench.runUnpaced(kUnpacedSteps);
    report.eventPassNs = eventPassNs(bench.pump());
    report.clockReadNs = clockReadNs();
    report.systemCallNs = systemCallNs();
    report.dispatcher = QAbstractEventDispatcher::instance()->metaObject()->className();
    const WriteCosts writes = measureWriteCosts(bench);
    report.sendPortNs = writes.sendPortNs;
    report.conversionNs = writes.conversionNs;
    report.virtualOut32Ns = writes.virtualOut32Ns;
    report.stampingOut32Ns = writes.stampingOut32Ns;
    report.waitsUs = timedWaitsUs(calibrations.front().loopsPerSec / 1000.0, kNoiseWaits);
    report.spin = spinLinearity();
    report.loadAverage = loadAverage();
    printReport(report);
    std::printf("\n");
    printLoadedTables(bench, switched, priority, scheduling, options, calibrations.front().loopsPerSec);
    std::printf("Load average at the end: %s\n", loadAverage().c_str());
    return 0;
}
