#include "PortMode.h"

#include "ftdi/FtdiDevice.h"
#include "gpio/GpioLineSet.h"

#include <QStringList>
#include <array>

namespace {

enum class Argument { None, Optional, Required };

void say(QString *why, const QString &text)
{
    if (why)
        *why = text;
}

bool acceptsFtdiDevice(QByteArrayView argument, PortChoice &, QString *)
{
    return isFtdiDeviceString(argument);
}

// The chip's path keeps its case; the line set says itself what is wrong.
bool acceptsGpioLines(QByteArrayView argument, PortChoice &choice, QString *why)
{
    const GpioLineSetParse parsed = parseGpioLineSet(QString::fromLocal8Bit(argument));
    if (!parsed.lineSet) {
        say(why, parsed.error);
        return false;
    }
    choice.gpio = *parsed.lineSet;
    return true;
}

// One row per route: a route with an argument names it and brings the
// check its argument must pass. A check that says nothing leaves the
// reason to the row's form.
struct RouteForm
{
    PortMode mode;
    const char *name;
    Argument argument;
    const char *argumentName;
    bool (*accepts)(QByteArrayView argument, PortChoice &choice, QString *why);
    const char *help;
};

constexpr std::array<RouteForm, 6> RouteForms{{
    {PortMode::Auto, "auto", Argument::None, "", nullptr,
     "ppdev, else direct I/O, else the virtual port (the default)"},
    {PortMode::Ppdev, "ppdev", Argument::None, "", nullptr,
     "only the kernel's ppdev driver, /dev/parportN (group lp)"},
    {PortMode::Direct, "direct", Argument::None, "", nullptr, "only direct I/O with ioperm (root)"},
    {PortMode::Virtual, "virtual", Argument::None, "", nullptr,
     "no hardware: the bytes stay in memory"},
    {PortMode::Ftdi, "ftdi", Argument::Optional, "DEVICE", acceptsFtdiDevice,
     "an FT232R/FT232H USB adapter in bit-bang mode, the only one plugged in or DEVICE in "
     "libftdi's forms d:BUS/DEV, i:VID:PID[:INDEX], s:VID:PID:SERIAL"},
    {PortMode::Gpio, "gpio", Argument::Required, GpioLineSet::Form, acceptsGpioLines,
     GpioLineSet::Help},
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
        PortChoice choice{route.mode, argument, {}};
        if (colon < 0 && route.argument != Argument::Required)
            return choice;
        // A required argument that is missing is the check's to explain too.
        QString checkSays;
        if (!route.accepts(argument, choice, &checkSays)) {
            if (checkSays.isEmpty()) {
                checkSays = QStringLiteral("\"%1\" is no %2 of %3")
                                .arg(QString::fromLocal8Bit(argument),
                                     QLatin1String(route.argumentName), formOf(route));
            }
            say(why, checkSays);
            return std::nullopt;
        }
        return choice;
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
