#include "CalibrationProbe.h"

#include "DriveState.h"
#include "MeasureLoopRate.h"
#include "MonotonicNs.h"

#include <cmath>

namespace {

// Passes every reading through unchanged; the stamp is taken just before it,
// so both clocks are read at the same moment to within one vDSO call.
class StampedClock final : public IClock
{
public:
    explicit StampedClock(IClock &inner) : m_inner(inner) {}

    float secondsSinceMidnight() override
    {
        m_previous = m_last;
        m_last.cpuNs = threadCpuNs();
        m_last.ns = monotonicNs();
        m_last.reading = m_inner.secondsSinceMidnight();
        return m_last.reading;
    }

    struct Reading
    {
        std::uint64_t cpuNs = 0;
        std::uint64_t ns = 0;
        float reading = 0;
    };
    Reading m_previous, m_last;

private:
    IClock &m_inner;
};

} // namespace

Calibration calibrateOnce(IClock &toolClock)
{
    StampedClock clock(toolClock);
    DriveState state;
    const std::uint64_t begin = monotonicNs();
    MeasureLoopRate(state, clock);
    Calibration result;
    result.loopsPerSec = state.LoopsPerSec;
    result.seconds = static_cast<double>(monotonicNs() - begin) / 1e9;
    // MeasureLoopRate keeps bound / elapsed; the bound is recovered from the
    // same single-precision elapsed time it divided by.
    const double elapsed = static_cast<double>(clock.m_last.reading - clock.m_previous.reading);
    const double bound = std::round(state.LoopsPerSec * elapsed);
    const double roundNs = static_cast<double>(clock.m_last.ns - clock.m_previous.ns);
    result.monotonicRate = roundNs > 0 ? bound * 1e9 / roundNs : 0;
    const double roundCpuNs = static_cast<double>(clock.m_last.cpuNs - clock.m_previous.cpuNs);
    result.cpuRate = roundCpuNs > 0 ? bound * 1e9 / roundCpuNs : 0;
    return result;
}

std::vector<double> loopRates(const std::vector<Calibration> &runs)
{
    std::vector<double> rates;
    for (const Calibration &run : runs)
        rates.push_back(run.loopsPerSec);
    return rates;
}

std::vector<double> monotonicRates(const std::vector<Calibration> &runs)
{
    std::vector<double> rates;
    for (const Calibration &run : runs)
        rates.push_back(run.monotonicRate);
    return rates;
}
