#pragma once

#include <QString>
#include <QStringView>
#include <array>
#include <optional>
#include <span>

// The GPIO lines that stand in for the parallel port's data bits: four
// lines for bits 0-3 and, optionally, a fifth for bit 6. Either offsets on
// one named chip, or line names, found on whichever chip has them.
struct GpioLineSet
{
    static constexpr int PhaseLines = 4;
    static constexpr int MaxLines = 5;
    // The kernel keeps 31 bytes of a line's name.
    static constexpr int MaxNameBytes = 31;
    // What follows "gpio:", as a refusal and --help show it.
    static constexpr char Form[] = "[CHIP:]L0,L1,L2,L3[,L6]";
    static constexpr char Help[] =
        "Linux GPIO lines (libgpiod) in place of the parallel port: data bits 0-3 on lines "
        "L0-L3, bit 6 on L6 if given; lines by name on whichever chip has them (for example "
        "gpio:GPIO17,GPIO18,GPIO27,GPIO22), or by offset on CHIP (gpiochip0, "
        "its number or label; for example gpio:gpiochip0:17,18,27,22)";

    QString chip; // empty: the lines are named, not numbered
    std::array<unsigned, MaxLines> offsets{};
    std::array<QString, MaxLines> names{};
    int count = 0;

    bool byName() const { return chip.isEmpty(); }
    std::span<const unsigned> lines() const { return {offsets.data(), std::size_t(count)}; }
    std::span<const QString> lineNames() const { return {names.data(), std::size_t(count)}; }
    bool hasBit6Line() const { return count == MaxLines; }
    // "gpiochip0:17,18,27,22" or "GPIO17,GPIO18,GPIO27,GPIO22", as written.
    QString text() const;

    friend bool operator==(const GpioLineSet &, const GpioLineSet &) = default;
};

struct GpioLineSetParse
{
    std::optional<GpioLineSet> lineSet;
    QString error; // why the text is no line set, and the accepted form
};

// Parses "[CHIP:]L0,L1,L2,L3[,L6]", the part after "gpio:". Only what the
// text itself shows is checked here; whether the chip and lines exist is
// for the device to say.
GpioLineSetParse parseGpioLineSet(QStringView text);
