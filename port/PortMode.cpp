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

constexpr std::array<ModeName, 4> ModeNames{{
    {PortMode::Auto, "auto"},
    {PortMode::Ppdev, "ppdev"},
    {PortMode::Direct, "direct"},
    {PortMode::Virtual, "virtual"},
}};

} // namespace

std::optional<PortMode> parsePortMode(QByteArrayView text)
{
    const QByteArray value = text.trimmed().toByteArray().toLower();
    if (value.isEmpty())
        return PortMode::Auto;
    for (const ModeName &entry : ModeNames) {
        if (value == entry.name)
            return entry.mode;
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
