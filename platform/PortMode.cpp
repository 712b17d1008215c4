#include "PortMode.h"

#include "FtdiPort.h"

#include <QStringList>
#include <array>

namespace {

enum class Argument { None, Optional, Required };

// One row per route: a route with an argument names it and brings the
// check its argument must pass.
struct RouteForm
{
    PortMode mode;
    const char *name;
    Argument argument;
    const char *argumentName;
    bool (*accepts)(QByteArrayView argument);
    const char *help;
};

constexpr std::array<RouteForm, 5> RouteForms{{
    {PortMode::Auto, "auto", Argument::None, "", nullptr,
     "ppdev, else direct I/O, else the virtual port (the default)"},
    {PortMode::Ppdev, "ppdev", Argument::None, "", nullptr,
     "only the kernel's ppdev driver, /dev/parportN (group lp)"},
    {PortMode::Direct, "direct", Argument::None, "", nullptr, "only direct I/O with ioperm (root)"},
    {PortMode::Virtual, "virtual", Argument::None, "", nullptr,
     "no hardware: the bytes stay in memory"},
    {PortMode::Ftdi, "ftdi", Argument::Optional, "DEVICE", isFtdiDeviceString,
     "an FT232R/FT232H USB adapter in bit-bang mode, the first found or DEVICE in libftdi's "
     "forms d:BUS/DEV, i:VID:PID[:INDEX], s:VID:PID:SERIAL"},
}};

QString formOf(const RouteForm &route)
{
    QString form = QLatin1String(route.name);
    if (route.argument == Argument::Optional)
        form += QStringLiteral("[:%1]").arg(QLatin1String(route.argumentName));
    else if (route.argument == Argument::Required)
        form += QStringLiteral(":%1").arg(QLatin1String(route.argumentName));
    return form;
}

void say(QString *why, const QString &text)
{
    if (why)
        *why = text;
}

} // namespace

std::optional<PortChoice> parsePortChoice(QByteArrayView text, QString *why)
{
    const QByteArray value = text.trimmed().toByteArray();
    if (value.isEmpty())
        return PortChoice{};
    const qsizetype colon = value.indexOf(':');
    const QByteArray name = (colon < 0 ? value : value.left(colon)).toLower();
    const QByteArray argument = colon < 0 ? QByteArray() : value.mid(colon + 1);
    for (const RouteForm &route : RouteForms) {
        if (name != route.name)
            continue;
        if (colon >= 0 && route.argument == Argument::None) {
            say(why, QStringLiteral("%1 takes nothing after it").arg(QLatin1String(route.name)));
            return std::nullopt;
        }
        if (colon < 0 && route.argument == Argument::Required) {
            say(why, QStringLiteral("%1 needs its %2").arg(formOf(route), QLatin1String(route.argumentName)));
            return std::nullopt;
        }
        if (colon >= 0 && (argument.isEmpty() || !route.accepts(argument))) {
            say(why, QStringLiteral("\"%1\" is no %2 of %3")
                         .arg(QString::fromLocal8Bit(argument), QLatin1String(route.argumentName),
                              formOf(route)));
            return std::nullopt;
        }
        return PortChoice{route.mode, argument};
    }
    say(why, QStringLiteral("no route is called \"%1\"").arg(QString::fromLocal8Bit(name)));
    return std::nullopt;
}

QString portChoiceForms()
{
    QStringList forms;
    for (const RouteForm &route : RouteForms)
        forms << formOf(route);
    return forms.join(QStringLiteral(", "));
}

QString portChoiceHelp()
{
    QStringList lines;
    for (const RouteForm &route : RouteForms)
        lines << QStringLiteral("  %1  %2").arg(formOf(route), -16).arg(QLatin1String(route.help));
    return lines.join(QLatin1Char('\n'));
}

const char *portModeName(PortMode mode)
{
    for (const RouteForm &route : RouteForms) {
        if (route.mode == mode)
            return route.name;
    }
    return "auto";
}
