#include "RateBar.h"

#include <cmath>

namespace RateBar {

// Rates now spread over more than a decade between slow laptops and fast
// desktops, so a linear bar would sit full on most of them. The bar is read
// logarithmically instead: the reference rate lands exactly on the mark, ten
// times the reference fills the bar, and about a fifth of it leaves the bar
// empty. The mark keeps its meaning and every machine of today falls inside.
float valueForRate(double loopsPerSec)
{
    if (!(loopsPerSec > 0.0))
        return Minimum;
    const double markShare = MarkValue / Maximum;
    const double share = markShare + (1.0 - markShare) * std::log10(loopsPerSec / ReferenceRate);
    const double value = share * Maximum;
    if (!(value > Minimum))
        return Minimum;
    if (value >= Maximum)
        return Maximum;
    return static_cast<float>(value);
}

} // namespace RateBar
