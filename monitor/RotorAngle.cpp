#include "RotorAngle.h"

#include <cmath>
#include <numbers>

namespace {

// Sums closer to zero than this are the cancelled pulls of opposite poles,
// left over from rounding the sines and cosines.
constexpr double kNoPull = 1e-9;

} // namespace

namespace RotorAngle {

std::optional<double> pull(std::int16_t byte)
{
    double right = 0;
    double up = 0;
    for (const Pole &pole : Poles) {
        if ((byte >> pole.bit) & 1) {
            const double radians = pole.degrees * std::numbers::pi / 180.0;
            right += std::sin(radians);
            up += std::cos(radians);
        }
    }
    if (std::hypot(right, up) < kNoPull)
        return std::nullopt;
    double degrees = std::atan2(right, up) * 180.0 / std::numbers::pi;
    if (degrees < 0)
        degrees += 360.0;
    // atan2 of a pull just left of the bit-0 pole can round up to 360.
    return std::fmod(std::round(degrees * 1e6) / 1e6, 360.0);
}

} // namespace RotorAngle

double RotorPosition::follow(std::int16_t byte)
{
    if (const std::optional<double> pulled = RotorAngle::pull(byte))
        m_degrees = *pulled;
    return m_degrees;
}
