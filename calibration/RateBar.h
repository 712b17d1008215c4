#pragma once

// The start-up bar's scale. It was drawn for a loop about a hundred times
// slower per iteration than this one: its "Celeron1000" mark sits at 8.3
// million, 41.5 % of the way along a bar that ends at 20 million.
namespace RateBar {

inline constexpr float Minimum = 1.0002f;
inline constexpr float Maximum = 20000000.0f;
inline constexpr double MarkValue = 8300000.0;

// A 1 GHz processor runs this loop at about one iteration per clock, so the
// reference processor of the mark measures about 1e9 here.
inline constexpr double ReferenceRate = 1.0e9;

// The bar's value for a measured rate, within [Minimum, Maximum].
float valueForRate(double loopsPerSec);

} // namespace RateBar
