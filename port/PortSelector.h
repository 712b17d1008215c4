#pragma once

#include "ftdi/FtdiPort.h"
#include "gpio/GpioLibrary.h"
#include "gpio/GpioLineSet.h"
#include "PortKernelList.h"
#include "PortMode.h"
#include "PortSelection.h"
#include "PortSystemCalls.h"

#include <QStringList>
#include <functional>

using GpioLibraryFactory = std::function<std::unique_ptr<GpioLibrary>()>;

// The devices that stand in for every parallel port, and the libraries
// that open them: which USB adapter, and which GPIO lines.
struct SharedDevices
{
    QByteArray ftdiDevice; // libftdi's device string; empty: the one plugged in
    FtdiPort::LibraryFactory ftdiLibrary = FtdiLibrary::real;
    GpioLineSet gpio;
    GpioLibraryFactory gpioLibrary = makeLibgpiod;
    SerialPortRoots serialRoots;
};

// Chooses the route for one port: ppdev, then direct I/O where ppdev is
// missing, then the virtual port, or the one route a forced mode allows. A
// port that is not a parallel port's base never gets a real route, whatever
// the mode.
class PortSelector
{
public:
    // `origin` says where a forced route was chosen ("--port ftdi"); it
    // ends every line about that route.
    PortSelector(PortMode mode, QString procRoot, QString devRoot, PortSystemCalls &calls,
                 SharedDevices devices = {}, QString origin = {});

    // Scans /proc and opens devices: the cold path, once per port. The USB
    // adapter or the GPIO lines are opened once, at the first parallel-port
    // base written; a later base gets their route with no backend, to share
    // the one already open.
    PortSelection select(std::uint16_t port);

    // Takes the direct I/O permission now for every base this mode could
    // write directly, while the process is still root: the bases it got.
    QList<std::uint16_t> grantDirectAhead();

    static QString hex(std::uint16_t port);

private:
    PortOpening tryPpdev(std::uint16_t port, const QList<KernelParport> &listed,
                         QStringList &tried, QString &device) const;
    QString directRefusal(std::uint16_t port, const QList<KernelParport> &listed) const;
    PortOpening tryDirect(std::uint16_t port, const QList<KernelParport> &listed, QStringList &tried) const;
    PortSelection selectShared(const QString &name);
    PortSelection openFtdi(const QString &name);
    PortSelection openGpio();
    bool allows(PortMode route) const;
    // Whether a ppdev refusal came from a driver that is there (the port is
    // taken or closed to us) rather than from ppdev missing altogether.
    static bool ppdevPresent(PortFault fault);
    QString forcedNote() const;

    PortMode m_mode;
    PortKernelList m_kernel;
    QString m_devRoot;
    PortSystemCalls &m_calls;
    SharedDevices m_devices;
    QString m_origin;
    enum class Tried { Not, Opened, Refused } m_shared = Tried::Not;
    // What the open device is called, or what could not be opened.
    QString m_sharedName;
};
