#include "PortMode.h"

#include <QByteArray>
#include <array>
#include <utility>

namespace {

struct ModeName
{
    PortMode mode;
    const char *name;
};

constexpr std::array<ModeName, 5> ModeNames{{
    {PortMode::Auto, "auto"},
    {PortMode::Ppdev, "ppdev"},
    {PortMode::Direct, "direct"},
    {PortMode::Virtual, "virtual"},
    {PortMode::Gpio, "gpio"},
}};

constexpr QByteArrayView GpioPrefix("gpio:");

} // namespace

std::optional<PortChoice> parsePortMode(QByteArrayView text, QString *error)
{
    const QByteArray trimmed = text.trimmed().toByteArray();
    const QByteArray value = trimmed.toLower();
    if (value.isEmpty())
        return PortChoice{};
    if (value.startsWith(GpioPrefix) || value == "gpio") {
        // The chip is a path or a kernel name: its case is kept.
        const GpioLineSpecParse parsed =
            parseGpioLineSpec(QString::fromLocal8Bit(trimmed.mid(GpioPrefix.size())));
        if (error)
            *error = parsed.error;
        if (!parsed.spec)
            return std::nullopt;
        return PortChoice{PortMode::Gpio, *parsed.spec};
    }
    for (const ModeName &entry : ModeNames) {
        if (value == entry.name)
            return PortChoice{entry.mode, {}};
    }
    return std::nullopt;
}

const char *portModeName(PortMode mode)
{
    for (const ModeName &entry : ModeNames) {
        if (entry.mode == mode)
            return entry.name;
    }
    return "auto";
}
