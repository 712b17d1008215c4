#pragma once

#include "GpioLibrary.h"
#include "GpioLineSpec.h"
#include "PortKernelList.h"
#include "PortMode.h"
#include "PortSelection.h"
#include "PortSystemCalls.h"

#include <QStringList>
#include <functional>

using GpioLibraryFactory = std::function<std::unique_ptr<GpioLibrary>()>;

// Chooses the route for one port: ppdev, then direct I/O, then the virtual
// port, or the one route a forced mode allows. A port that is not a parallel
// port's base never gets a real route, whatever the mode.
class PortSelector
{
public:
    PortSelector(PortMode mode, QString procRoot, QString devRoot, const PortSystemCalls &calls,
                 GpioLineSpec gpio = {}, GpioLibraryFactory gpioLibrary = makeLibgpiod1);

    // Scans /proc and opens devices: the cold path, once per port. In `Gpio`
    // mode a parallel base gets route `Gpio` with no backend: the lines are
    // shared by every base, so the caller opens them once, with openGpio().
    PortSelection select(std::uint16_t port) const;

    // Requests the GPIO lines: a `Gpio` backend, or a refusal to tell the user.
    PortSelection openGpio() const;

    static QString hex(std::uint16_t port);

private:
    PortOpening tryPpdev(std::uint16_t port, const QList<KernelParport> &listed,
                         QStringList &tried, QString &device) const;
    PortOpening tryDirect(std::uint16_t port, QStringList &tried) const;
    bool allows(PortMode route) const;
    QString forcedNote() const;

    PortMode m_mode;
    PortKernelList m_kernel;
    QString m_devRoot;
    PortSystemCalls m_calls;
    GpioLineSpec m_gpio;
    GpioLibraryFactory m_gpioLibrary;
};
