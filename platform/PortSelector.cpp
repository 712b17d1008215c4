#include "PortSelector.h"

#include "DirectPort.h"
#include "GpioPort.h"
#include "PpdevPort.h"

#include <cstring>

namespace {

QString faultText(const PortOpening &opening)
{
    const QString advice = portFaultAdvice(opening.fault);
    return advice.isEmpty() ? QString::fromLocal8Bit(std::strerror(opening.error)) : advice;
}

} // namespace

PortSelector::PortSelector(PortMode mode, QString procRoot, QString devRoot,
                           const PortSystemCalls &calls, GpioLineSpec gpio,
                           GpioLibraryFactory gpioLibrary)
    : m_mode(mode)
    , m_kernel(std::move(procRoot))
    , m_devRoot(std::move(devRoot))
    , m_calls(calls)
    , m_gpio(std::move(gpio))
    , m_gpioLibrary(std::move(gpioLibrary))
{
}

QString PortSelector::hex(std::uint16_t port)
{
    return QStringLiteral("0x%1").arg(port, 3, 16, QLatin1Char('0'));
}

bool PortSelector::allows(PortMode route) const
{
    return m_mode == PortMode::Auto || m_mode == route;
}

QString PortSelector::forcedNote() const
{
    if (m_mode == PortMode::Auto)
        return {};
    return QStringLiteral(" (QUARNET_PORT=%1)").arg(QLatin1String(portModeName(m_mode)));
}

PortSelection PortSelector::select(std::uint16_t port) const
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

    if (m_mode == PortMode::Gpio)
        return {nullptr, PortRoute::Gpio, name + QStringLiteral(": GPIO lines ") + m_gpio.text(), false};

    QStringList tried;
    if (allows(PortMode::Ppdev)) {
        QString device;
        PortOpening opening = tryPpdev(port, listed, tried, device);
        if (opening.backend) {
            return {std::move(opening.backend), PortRoute::Ppdev,
                    name + QStringLiteral(": ppdev ") + device + forcedNote(), false};
        }
    }
    if (allows(PortMode::Direct)) {
        PortOpening opening = tryDirect(port, tried);
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

PortSelection PortSelector::openGpio() const
{
    const QString lines = QStringLiteral("GPIO lines ") + m_gpio.text();
    GpioOpening opening = GpioPort::open(m_gpio, m_gpioLibrary());
    if (opening.backend)
        return {std::move(opening.backend), PortRoute::Gpio, lines, false};
    return {nullptr, PortRoute::Virtual,
            lines + QStringLiteral(": ") + opening.problem
                + QStringLiteral("; using a virtual port instead"),
            true};
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
            tried << QStringLiteral("ppdev ") + device + QStringLiteral(": ") + faultText(opening);
        return opening;
    }
    tried << QStringLiteral("ppdev: ") + portFaultAdvice(PortFault::NoKernelParport);
    return {nullptr, PortFault::NoKernelParport, 0};
}

PortOpening PortSelector::tryDirect(std::uint16_t port, QStringList &tried) const
{
    PortOpening opening = DirectPort::open(port, m_calls);
    if (!opening.backend)
        tried << QStringLiteral("direct I/O: ") + faultText(opening);
    return opening;
}
