#pragma once

#include "FtdiPort.h"
#include "PortKernelList.h"
#include "PortMode.h"
#include "PortSelection.h"
#include "PortSystemCalls.h"

#include <QStringList>

// The USB adapter's route: which adapter, and the library that opens it.
struct FtdiRoute
{
    QByteArray device; // libftdi's device string; empty: the first found
    FtdiPort::LibraryFactory library = FtdiLibrary::real;
};

// Chooses the route for one port: ppdev, then direct I/O, then the virtual
// port, or the one route a forced mode allows. A port that is not a parallel
// port's base never gets a real route, whatever the mode.
class PortSelector
{
public:
    // `origin` says where a forced route was chosen ("--port ftdi"); it
    // ends every line about that route.
    PortSelector(PortMode mode, QString procRoot, QString devRoot, const PortSystemCalls &calls,
                 FtdiRoute ftdi = {}, QString origin = {});

    // Scans /proc and opens devices: the cold path, once per port. The USB
    // adapter is opened once, at the first parallel-port base written.
    PortSelection select(std::uint16_t port);

    static QString hex(std::uint16_t port);

private:
    PortOpening tryPpdev(std::uint16_t port, const QList<KernelParport> &listed,
                         QStringList &tried, QString &device) const;
    PortOpening tryDirect(std::uint16_t port, QStringList &tried) const;
    PortSelection selectFtdi(const QString &name);
    bool allows(PortMode route) const;
    QString forcedNote() const;

    PortMode m_mode;
    PortKernelList m_kernel;
    QString m_devRoot;
    PortSystemCalls m_calls;
    FtdiRoute m_ftdi;
    QString m_origin;
    enum class Tried { Not, Opened, Refused } m_ftdiTried = Tried::Not;
    QString m_ftdiName;
};
