// Any --port or QUARNET_PORT value must be taken or refused with a reason,
// never crash; and what is taken must be what the user wrote: a line set or
// an adapter name read back from its own text gives the same choice again.
#include "PortMode.h"

#include <QByteArray>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

void checkLineSet(const GpioLineSet &lines)
{
    require(lines.count >= GpioLineSet::PhaseLines && lines.count <= GpioLineSet::MaxLines);
    if (lines.byName()) {
        const auto names = lines.lineNames();
        for (const QString &name : names) {
            require(!name.isEmpty() && name.toUtf8().size() <= GpioLineSet::MaxNameBytes);
            require(std::count(names.begin(), names.end(), name) == 1);
        }
    } else {
        const auto taken = lines.lines();
        for (std::size_t i = 0; i < taken.size(); ++i)
            require(std::count(taken.begin(), taken.end(), taken[i]) == 1);
    }
    const auto again = parsePortChoice(QByteArrayLiteral("gpio:") + lines.text().toUtf8());
    require(again && again->mode == PortMode::Gpio && again->gpio == lines);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArrayView text(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    QString why;
    const std::optional<PortChoice> choice = parsePortChoice(text, &why);
    if (!choice) {
        require(!why.isEmpty());
        return 0;
    }
    if (choice->mode == PortMode::Gpio)
        checkLineSet(choice->gpio);
    if (choice->mode == PortMode::Ftdi && !choice->argument.isEmpty()) {
        const auto again = parsePortChoice(QByteArrayLiteral("ftdi:") + choice->argument);
        require(again && again->mode == PortMode::Ftdi && again->argument == choice->argument);
    }
    return 0;
}
