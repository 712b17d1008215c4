#pragma once

#include <cstdint>
#include <optional>

// Where the energised windings pull a two-pole rotor, in degrees clockwise
// from the bit-0 pole. The lines take their turn 0, 2, 1, 3, so the poles
// are wound in that order going clockwise: each "Full" step moves the pull
// on to the next pole, a quarter turn, and each "Half" pair pulls half-way
// between its two poles, an eighth of a turn on from where "Full" sits.
namespace RotorAngle {

struct Pole
{
    int bit;
    double degrees;
};

inline constexpr Pole Poles[] = {{0, 0.0}, {2, 90.0}, {1, 180.0}, {3, 270.0}};

// The direction of the energised poles' sum, in [0, 360); none when no
// winding is on or the pulls cancel (two opposite poles alone).
std::optional<double> pull(std::int16_t byte);

} // namespace RotorAngle

// The rotor as drawn: it turns to the pull of each byte and, where nothing
// pulls (all windings off), stays where the last pull left it, as a real
// rotor rests in its detent.
class RotorPosition
{
public:
    double follow(std::int16_t byte);
    double degrees() const { return m_degrees; }

private:
    double m_degrees = 0;
};
