#pragma once

#include "GpioLibrary.h"
#include "PortSelector.h"

#include <QHash>
#include <QString>
#include <QStringList>

// One GPIO chip as the kernel would show it through the library, with the
// refusals a real one can give, and a log of every call made to it. The
// libraries it hands out all act on this one chip, so a test keeps seeing
// the log after the port that used it is gone.
struct FakeGpioChip
{
    QString name = QStringLiteral("gpiochip0"); // opens as this or /dev/ + this
    int openErrno = 0;
    unsigned lineCount = 54;
    QHash<unsigned, QString> holders; // lines another consumer holds
    int requestErrno = 0;
    // "open gpiochip0", "request 17,18,27,22 as quarnet", "set 1 0 0 0 1", "release"
    QStringList log;

    GpioLibraryFactory factory();
};
