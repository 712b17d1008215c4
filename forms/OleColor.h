#pragma once

#include <QColor>
#include <QPalette>
#include <cstdint>

// Colours are stored as 32-bit values: &HBBGGRR for plain colours, or
// &H80000000 plus an index into the desktop's colour scheme.
namespace OleColor {

inline constexpr std::uint32_t SystemFlag = 0x80000000u;

inline constexpr std::uint32_t system(unsigned index)
{
    return SystemFlag | index;
}

inline constexpr bool isSystem(std::uint32_t value)
{
    return (value & SystemFlag) != 0;
}

// Resolves a stored colour against the given palette (the application's
// palette when none is given). Unknown system indexes fall back to the
// window text colour rather than failing: a label must still be readable.
QColor toColor(std::uint32_t value, const QPalette &palette);
QColor toColor(std::uint32_t value);

} // namespace OleColor
