#include "OutputLines.h"

namespace OutputLines {

Lamps lampsFor(std::int16_t byte)
{
    Lamps lamps{};
    for (int i = 0; i < Count; ++i)
        lamps[std::size_t(i)] = ((byte >> Shown[i].bit) & 1) != 0;
    return lamps;
}

} // namespace OutputLines
