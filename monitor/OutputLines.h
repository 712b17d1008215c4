#pragma once

#include <array>
#include <cstdint>

// The data-register lines the live view shows, in the order of its lamps:
// the four phase lines and the "drive enabled" bit, each with the DB-25 pin
// that carries it on a parallel port, as the help window names them.
namespace OutputLines {

struct Line
{
    int bit;
    int pin;
};

inline constexpr Line Shown[] = {{0, 2}, {1, 3}, {2, 4}, {3, 5}, {6, 8}};
inline constexpr int Count = int(std::size(Shown));

using Lamps = std::array<bool, Count>;

Lamps lampsFor(std::int16_t byte);

} // namespace OutputLines
