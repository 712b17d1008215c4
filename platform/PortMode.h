#pragma once

#include "GpioLineSpec.h"

#include <QByteArrayView>
#include <QString>
#include <optional>

// Which route `PortAccess` may take to a port. `Auto` tries the real routes
// in order of least privilege needed (ppdev, then direct I/O) and falls back
// to the virtual port; `Gpio` puts GPIO lines in place of every parallel
// port; the others force one route.
enum class PortMode { Auto, Ppdev, Direct, Virtual, Gpio };

struct PortChoice
{
    PortMode mode = PortMode::Auto;
    GpioLineSpec gpio; // the lines, for `Gpio`
};

// Parses the value of QUARNET_PORT; an empty value means `Auto`, and
// "gpio:CHIP:LINES" means `Gpio` with its lines. Anything unknown gives no
// value so the caller can tell the user; a gpio form that is no line set
// gives none either, with `error` saying why and which form is accepted.
std::optional<PortChoice> parsePortMode(QByteArrayView text, QString *error = nullptr);

const char *portModeName(PortMode mode);
