#include "PortSelector.h"

#include "direct/DirectPort.h"
#include "gpio/GpioPort.h"
#include "ppdev/PpdevPort.h"

#include <algorithm>

PortSelector::PortSelector(PortMode mode, QString procRoot, QString devRoot,
                           PortSystemCalls &calls, SharedDevices devices, QString origin)
    : m_mode(mode)
    , m_kernel(std::move(procRoot))
    , m_devRoot(std::move(devRoot))
    , m_calls(calls)
    , m_devices(std::move(devices))
    , m_origin(std::move(origin))
{
}

QString PortSelector::hex(std::uint16_t port)
{
    return QStringLiteral("0x%1").arg(port, 3, 16, QLatin1Char('0'));
}

bool PortSelector::ppdevPresent(PortFault fault)
{
    return fault != PortFault::NoKernelParport && fault != PortFault::NoDeviceNode;
}

bool PortSelector::allows(PortMode route) const
{
    return m_mode == PortMode::Auto || m_mode == route;
}

QString PortSelector::forcedNote() const
{
    if (m_mode == PortMode::Auto)
        return {};
    if (!m_origin.isEmpty())
        return QStringLiteral(" (%1)").arg(m_origin);
    return QStringLiteral(" (QUARNET_PORT=%1)").arg(QLatin1String(portModeName(m_mode)));
}

PortSelection PortSelector::select(std::uint16_t port)
{
    const QString name = QStringLiteral("port ") + hex(port);
    if (m_mode == PortMode::Virtual)
        return {nullptr, PortRoute::Virtual, name + QStringLiteral(": virtual port") + forcedNote(), false};

    const QList<KernelParport> listed = m_kernel.scan();
    if (!PortKernelList::isParallelBase(port, listed)) {
        return {nullptr, PortRoute::Virtual,
                name + QStringLiteral(" is ") + portFaultAdvice(PortFault::NotParallelBase)
                    + QStringLiteral("; writes to it go to a virtual port"),
                true};
    }

    if (m_mode == PortMode::Ftdi || m_mode == PortMode::Gpio)
        return selectShared(name);

    QStringList tried;
    if (allows(PortMode::Ppdev)) {
        QString device;
        PortOpening opening = tryPpdev(port, listed, tried, device);
        if (opening.backend) {
            return {std::move(opening.backend), PortRoute::Ppdev,
                    name + QStringLiteral(": ppdev ") + device + forcedNote(), false};
        }
        // The kernel's parport driver owns this port and ppdev said no, or
        // is not loaded: direct I/O would write under the driver, the
        // printer driver or another program, so nothing real is tried after
        // this; the line says how to load ppdev.
        if (ppdevPresent(opening.error.fault) || opening.error.fault == PortFault::NoDeviceNode) {
            return {nullptr, PortRoute::Virtual,
                    name + QStringLiteral(": ") + tried.join(QStringLiteral("; "))
                        + QStringLiteral("; using a virtual port instead") + forcedNote(),
                    true};
        }
    }
    if (allows(PortMode::Direct)) {
        PortOpening opening = tryDirect(port, listed, tried);
        if (opening.backend) {
            return {std::move(opening.backend), PortRoute::Direct,
                    name + QStringLiteral(": direct I/O (ioperm)") + forcedNote(), false};
        }
    }
    return {nullptr, PortRoute::Virtual,
            name + QStringLiteral(": ") + tried.join(QStringLiteral("; "))
                + QStringLiteral("; using a virtual port instead") + forcedNote(),
            true};
}

QList<std::uint16_t> PortSelector::grantDirectAhead()
{
    QList<std::uint16_t> granted;
    if (!allows(PortMode::Direct))
        return granted;
    const QList<KernelParport> listed = m_kernel.scan();
    QList<std::uint16_t> bases = PortKernelList::legacyBases();
    for (const KernelParport &parport : listed) {
        if (!bases.contains(parport.base))
            bases << parport.base;
    }
    for (std::uint16_t base : std::as_const(bases)) {
        // Where the kernel lists the port, the automatic choice is ppdev's.
        const bool ppdevs = std::any_of(listed.begin(), listed.end(),
                                        [base](const KernelParport &parport) { return parport.base == base; });
        if ((m_mode == PortMode::Auto && ppdevs) || !directRefusal(base, listed).isEmpty())
            continue;
        if (DirectPort::grantAhead(base, m_calls))
            granted << base;
    }
    return granted;
}

// The adapter or the lines stand in at every base, so they are opened, or
// refused and told, only once.
PortSelection PortSelector::selectShared(const QString &name)
{
    const PortRoute route = m_mode == PortMode::Ftdi ? PortRoute::Ftdi : PortRoute::Gpio;
    if (m_shared == Tried::Opened)
        return {nullptr, route, name + QStringLiteral(": ") + m_sharedName + forcedNote(), false};
    if (m_shared == Tried::Refused) {
        return {nullptr, PortRoute::Virtual,
                name + QStringLiteral(": virtual port, as %1 could not be used").arg(m_sharedName)
                    + forcedNote(),
                false};
    }
    return route == PortRoute::Ftdi ? openFtdi(name) : openGpio();
}

PortSelection PortSelector::openFtdi(const QString &name)
{
    PortOpening opening = FtdiPort::open(m_devices.ftdiDevice, m_devices.ftdiLibrary, m_devices.serialRoots);
    if (!opening.backend) {
        m_shared = Tried::Refused;
        m_sharedName = QStringLiteral("the USB adapter");
        return {nullptr, PortRoute::Virtual,
                name + QStringLiteral(": ") + opening.name + QStringLiteral(": ") + opening.error.text
                    + QStringLiteral("; using a virtual port instead") + forcedNote(),
                true};
    }
    m_shared = Tried::Opened;
    m_sharedName = opening.name;
    return {std::move(opening.backend), PortRoute::Ftdi,
            name + QStringLiteral(": ") + m_sharedName + forcedNote(), false};
}

// The lines' own text names the route, so its lines carry no port or origin.
PortSelection PortSelector::openGpio()
{
    m_sharedName = QStringLiteral("GPIO lines ") + m_devices.gpio.text();
    PortOpening opening = GpioPort::open(m_devices.gpio, m_devices.gpioLibrary(), m_devRoot);
    if (!opening.name.isEmpty())
        m_sharedName += QStringLiteral(" (%1)").arg(opening.name);
    if (!opening.backend) {
        m_shared = Tried::Refused;
        return {nullptr, PortRoute::Virtual,
                m_sharedName + QStringLiteral(": ") + opening.error.text
                    + QStringLiteral("; using a virtual port instead"),
                true};
    }
    m_shared = Tried::Opened;
    return {std::move(opening.backend), PortRoute::Gpio, m_sharedName, false};
}

PortOpening PortSelector::tryPpdev(std::uint16_t port, const QList<KernelParport> &listed,
                                   QStringList &tried, QString &device) const
{
    for (const KernelParport &parport : listed) {
        if (parport.base != port)
            continue;
        device = m_devRoot + QStringLiteral("/parport") + QString::number(parport.index);
        PortOpening opening = PpdevPort::open(device, m_calls);
        if (!opening.backend)
            tried << QStringLiteral("ppdev ") + device + QStringLiteral(": ") + opening.error.text;
        return opening;
    }
    PortOpening none{nullptr, portError(PortFault::NoKernelParport), {}};
    tried << QStringLiteral("ppdev: ") + none.error.text;
    return none;
}

// Direct I/O bypasses every driver, so it is never taken where one holds
// the port's range or a program has claimed the port through it.
QString PortSelector::directRefusal(std::uint16_t port, const QList<KernelParport> &listed) const
{
    for (const KernelParport &parport : listed) {
        if (parport.base != port)
            continue;
        const QString claimant = m_kernel.activeClaimant(parport.index);
        if (!claimant.isEmpty()) {
            return QStringLiteral("direct I/O: parport%1 is claimed by %2 (%3/parport%1/devices/active)")
                .arg(parport.index).arg(claimant, m_kernel.directory());
        }
    }
    const QString holder = m_kernel.ioportHolder(port);
    if (!holder.isEmpty()) {
        return QStringLiteral("direct I/O: the kernel's driver %1 holds the port's range (/proc/ioports); "
                              "use ppdev instead (sudo modprobe ppdev)").arg(holder);
    }
    return {};
}

PortOpening PortSelector::tryDirect(std::uint16_t port, const QList<KernelParport> &listed,
                                    QStringList &tried) const
{
    if (const QString refusal = directRefusal(port, listed); !refusal.isEmpty()) {
        tried << refusal;
        return {nullptr, portError(PortFault::Other, refusal), {}};
    }
    PortOpening opening = DirectPort::open(port, m_calls);
    if (!opening.backend)
        tried << QStringLiteral("direct I/O: ") + opening.error.text;
    return opening;
}
