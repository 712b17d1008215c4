#pragma once

#include "gpio/GpioLineSet.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

// Which route `PortAccess` may take to a port. `Auto` tries the real routes
// in order of least privilege needed (ppdev, then direct I/O) and falls back
// to the virtual port; the others force one route. `Ftdi` and `Gpio` put one
// device in place of every parallel port, and `Auto` never tries them: they
// would take a USB serial adapter or GPIO lines that may belong to something
// else.
enum class PortMode { Auto, Ppdev, Direct, Virtual, Ftdi, Gpio };

// A route as the user names it, with the argument after its first colon:
// "ftdi:i:0x0403:0x6001" is `Ftdi` with "i:0x0403:0x6001".
struct PortChoice
{
    PortMode mode = PortMode::Auto;
    QByteArray argument;
    GpioLineSet gpio; // the lines the argument names, for `Gpio`
};

// Parses the value of --port or QUARNET_PORT. Empty means `Auto`. A value
// that names no route, or an argument the route does not take, gives no
// choice and `why` says what is wrong with it. The route's name is read in
// any case; the argument is kept as written (a serial number and a chip's
// path have case).
std::optional<PortChoice> parsePortChoice(QByteArrayView text, QString *why = nullptr);

// "auto, ppdev, direct, virtual, ftdi[:DEVICE], gpio:[CHIP:]L0,L1,L2,L3[,L6]":
// what a refusal lists.
QString portChoiceForms();
// One line per route, its form and what it does: for --help.
QString portChoiceHelp();

const char *portModeName(PortMode mode);
