#include "CostProbes.h"

#include "AddressText.h"
#include "IntervalStats.h"
#include "MonotonicNs.h"
#include "MotorDrive.h"
#include "SpinLoop.h"

#include <QString>
#include <algorithm>
#include <cmath>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

template <class Call>
double medianCallNs(Call &&call, int perBatch, int batches)
{
    std::vector<double> perCall;
    perCall.reserve(static_cast<std::size_t>(batches));
    for (int b = 0; b < batches; ++b) {
        const std::uint64_t start = monotonicNs();
        for (int i = 0; i < perBatch; ++i)
            call();
        perCall.push_back(static_cast<double>(monotonicNs() - start) / perBatch);
    }
    return percentile(std::move(perCall), 50);
}

} // namespace

double clockReadNs()
{
    volatile std::uint64_t sink = 0;
    return medianCallNs([&] { sink = monotonicNs(); }, 1000, 200);
}

double eventPassNs(IEventPump &pump)
{
    return medianCallNs([&] { pump.processPendingEvents(); }, 1000, 200);
}

double sendPortNs(MotorDrive &drive)
{
    return medianCallNs([&] { drive.SendPort(); }, 1000, 200);
}

double systemCallNs()
{
    return medianCallNs([] { syscall(SYS_getppid); }, 1000, 200);
}

double addressConversionNs()
{
    const QString text = QStringLiteral("&H378");
    volatile int sink = 0;
    return medianCallNs([&] { sink = PortFromAddressText(text).value_or(0); }, 1000, 200);
}

double out32Ns(IPort &port)
{
    std::int16_t value = 64;
    return medianCallNs([&] { port.Out32(0x378, value ^= 1); }, 1000, 200);
}

std::vector<SpinPoint> spinLinearity()
{
    std::vector<SpinPoint> points;
    // From 1e5 on: below that the two CPU-clock system calls around the loop
    // are a visible share of the time.
    for (double n = 1e5; n <= 1e8; n *= 10) {
        double best = INFINITY;
        for (int attempt = 0; attempt < 3; ++attempt) {
            const std::uint64_t start = threadCpuNs();
            SpinLoop(n);
            best = std::min(best, static_cast<double>(threadCpuNs() - start));
        }
        points.push_back({n, best});
    }
    return points;
}

double spinNonLinearityPct(const std::vector<SpinPoint> &points)
{
    if (points.empty())
        return 0;
    const double reference = points.back().ns / points.back().n;
    double worst = 0;
    for (const SpinPoint &p : points)
        worst = std::max(worst, std::fabs(p.ns / p.n / reference - 1.0) * 100.0);
    return worst;
}

std::vector<double> timedWaitsUs(double n, int count)
{
    std::vector<double> waits;
    for (int i = 0; i < count; ++i) {
        const std::uint64_t start = monotonicNs();
        SpinLoop(n);
        waits.push_back(static_cast<double>(monotonicNs() - start) / 1000.0);
    }
    return waits;
}
