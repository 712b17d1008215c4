// What one reading of the live view of the outputs (--monitor) costs the
// thread that steps: the reading and the repaint it asks for, up to the
// backing store's flush, as the run loop's event pass pays for it. The wait
// pays lateness back a quarter period a step, up to one period of it, so
// this figure against the period says whether a frame of the view costs the
// motor time (more than a period) or only quickens the next steps.

#include "DriveState.h"
#include "IntervalStats.h"
#include "MonitorWindow.h"
#include "MonotonicNs.h"
#include "StepBench.h"

#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <vector>

namespace {

constexpr int kReadings = 2000;
// Full mode's four bytes, bit 6 on: each reading moves the rotor a quarter turn.
constexpr std::int16_t kFullBytes[] = {64 | 0b0011, 64 | 0b0110, 64 | 0b1100, 64 | 0b1001};

void drain()
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 50)
        QCoreApplication::processEvents();
}

// `change` alters the record between readings as a run would.
template <typename Change>
std::vector<double> readingsUs(MonitorWindow &view, DriveState &state, Change change)
{
    std::vector<double> us;
    us.reserve(kReadings);
    for (int i = 0; i < kReadings; ++i) {
        change(state, i);
        const std::uint64_t before = monotonicNs();
        view.refresh();
        QCoreApplication::processEvents();
        us.push_back((monotonicNs() - before) / 1000.0);
    }
    drain();
    return us;
}

void printRow(const char *label, const std::vector<double> &us)
{
    std::printf("%-34s %8.1f %8.1f %8.1f %8.1f\n", label, percentile(us, 50), percentile(us, 90),
                percentile(us, 99), percentile(us, 100));
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    QApplication app(argc, argv);

    DriveState state;
    state.StepSec = 32767;
    state.PortByte = 64;
    SteadyClock clock;
    MonitorWindow view(state, clock);
    view.show();
    drain();

    std::printf("One reading of the live view and its repaint, us (%d readings a row)\n", kReadings);
    std::printf("%-34s %8s %8s %8s %8s\n", "what changed between readings", "median", "p90", "p99", "max");
    printRow("nothing (the event pass alone)", readingsUs(view, state, [](DriveState &, int) {}));
    printRow("the step count", readingsUs(view, state, [](DriveState &s, int) { s.StepsMade += 546; }));
    printRow("byte, rotor, lamps, step count", readingsUs(view, state, [](DriveState &s, int i) {
                 s.PortByte = kFullBytes[i % 4];
                 s.StepsMade += 546;
             }));
    std::printf("\nA step's period: %.1f us at 32767 steps/s, %.1f us at 10000, %.1f us at 1000\n",
                1e6 / 32767, 1e6 / 10000, 1e6 / 1000);
    return 0;
}
