#include "IntervalStats.h"

#include <algorithm>
#include <cmath>
#include <limits>

std::vector<double> intervalsNs(std::span<const std::uint64_t> stampsNs)
{
    std::vector<double> result;
    for (std::size_t k = 1; k < stampsNs.size(); ++k)
        result.push_back(static_cast<double>(stampsNs[k] - stampsNs[k - 1]));
    return result;
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    const double rank = std::ceil(p / 100.0 * static_cast<double>(values.size()));
    const std::size_t index = static_cast<std::size_t>(std::clamp(rank, 1.0, double(values.size()))) - 1;
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(index), values.end());
    return values[index];
}

double spreadPct(std::span<const double> values)
{
    if (values.size() < 2)
        return 0;
    const auto [low, high] = std::minmax_element(values.begin(), values.end());
    if (!(*low > 0))
        return 0;
    return (*high / *low - 1.0) * 100.0;
}

namespace {

// Time outside the wait in step k runs from write k-1 to the end of pass k.
double outsideShare(std::span<const std::uint64_t> writeNs, std::span<const std::uint64_t> passEndNs)
{
    if (passEndNs.size() < writeNs.size())
        return std::numeric_limits<double>::quiet_NaN();
    double outside = 0;
    for (std::size_t k = 1; k < writeNs.size(); ++k)
        outside += static_cast<double>(passEndNs[k]) - static_cast<double>(writeNs[k - 1]);
    return outside / static_cast<double>(writeNs.back() - writeNs.front());
}

void summariseSlowPasses(std::span<const std::uint64_t> writeNs, std::span<const std::uint64_t> passEndNs,
                         StepTiming &timing)
{
    if (passEndNs.size() < writeNs.size())
        return;
    std::vector<double> slowUs;
    for (std::size_t k = 1; k < writeNs.size(); ++k) {
        const double passNs = static_cast<double>(passEndNs[k]) - static_cast<double>(writeNs[k - 1]);
        if (passNs > kSlowPassNs)
            slowUs.push_back(passNs / 1000.0);
    }
    timing.slowPassesPerSec = static_cast<double>(slowUs.size()) * 1e9 /
                              static_cast<double>(writeNs.back() - writeNs.front());
    timing.slowPassMedianUs = percentile(slowUs, 50);
}

} // namespace

StepTiming summariseRun(std::span<const std::uint64_t> writeNs,
                        std::span<const std::uint64_t> passEndNs, double requested)
{
    StepTiming timing;
    timing.requested = requested;
    timing.steps = writeNs.size();
    if (writeNs.size() < 2 || !(requested > 0))
        return timing;
    const double spanNs = static_cast<double>(writeNs.back() - writeNs.front());
    timing.meanRate = static_cast<double>(writeNs.size() - 1) * 1e9 / spanNs;
    timing.rateErrorPct = (timing.meanRate / requested - 1.0) * 100.0;
    const double periodNs = 1e9 / requested;
    std::vector<double> deviationsUs;
    double shortestNs = INFINITY;
    for (double interval : intervalsNs(writeNs)) {
        deviationsUs.push_back(std::fabs(interval - periodNs) / 1000.0);
        shortestNs = std::min(shortestNs, interval);
    }
    timing.shortestShare = shortestNs / periodNs;
    timing.medianUs = percentile(deviationsUs, 50);
    timing.p99Us = percentile(deviationsUs, 99);
    timing.maxUs = *std::max_element(deviationsUs.begin(), deviationsUs.end());
    timing.outsideShare = outsideShare(writeNs, passEndNs);
    summariseSlowPasses(writeNs, passEndNs, timing);
    return timing;
}
