#pragma once

#include "PortKernelList.h"
#include "PortMode.h"
#include "PortSelection.h"
#include "PortSystemCalls.h"

#include <QStringList>

// Chooses the route for one port: ppdev, then direct I/O where ppdev is
// missing, then the virtual port, or the one route a forced mode allows. A
// port that is not a parallel port's base never gets a real route, whatever
// the mode.
class PortSelector
{
public:
    PortSelector(PortMode mode, QString procRoot, QString devRoot, const PortSystemCalls &calls);

    // Scans /proc and opens devices: the cold path, once per port.
    PortSelection select(std::uint16_t port) const;

    static QString hex(std::uint16_t port);

private:
    PortOpening tryPpdev(std::uint16_t port, const QList<KernelParport> &listed,
                         QStringList &tried, QString &device) const;
    PortOpening tryDirect(std::uint16_t port, QStringList &tried) const;
    bool allows(PortMode route) const;
    // Whether a ppdev refusal came from a driver that is there (the port is
    // taken or closed to us) rather than from ppdev missing altogether.
    static bool ppdevPresent(PortFault fault);
    QString forcedNote() const;

    PortMode m_mode;
    PortKernelList m_kernel;
    QString m_devRoot;
    PortSystemCalls m_calls;
};
