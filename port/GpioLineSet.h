#pragma once

#include <QString>
#include <QStringView>
#include <array>
#include <optional>
#include <span>

// The GPIO lines that stand in for the parallel port's data bits: four line
// offsets for bits 0-3 and, optionally, a fifth for bit 6, all on one chip.
struct GpioLineSet
{
    static constexpr int PhaseLines = 4;
    static constexpr int MaxLines = 5;
    // What follows "gpio:", as a refusal and --help show it.
    static constexpr char Form[] = "CHIP:L0,L1,L2,L3[,L6]";
    static constexpr char Help[] =
        "Linux GPIO lines (libgpiod) in place of the parallel port: data bits 0-3 on lines "
        "L0-L3 of CHIP (gpiochip0 or /dev/gpiochip0), bit 6 on L6 if given; for example "
        "gpio:gpiochip0:17,18,27,22";

    QString chip; // gpiochip0, /dev/gpiochip0, or whatever libgpiod can look up
    std::array<unsigned, MaxLines> offsets{};
    int count = 0;

    std::span<const unsigned> lines() const { return {offsets.data(), std::size_t(count)}; }
    bool hasBit6Line() const { return count == MaxLines; }
    // "gpiochip0:17,18,27,22", the way the user wrote it.
    QString text() const;

    friend bool operator==(const GpioLineSet &, const GpioLineSet &) = default;
};

struct GpioLineSetParse
{
    std::optional<GpioLineSet> lineSet;
    QString error; // why the text is no line set, and the accepted form
};

// Parses "CHIP:L0,L1,L2,L3[,L6]", the part after "gpio:". Only what the text
// itself shows is checked here; whether the chip and lines exist is for the
// device to say.
GpioLineSetParse parseGpioLineSet(QStringView text);
