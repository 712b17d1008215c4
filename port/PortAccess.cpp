#include "PortAccess.h"

#include "virtual/VirtualPort.h"

#include <unistd.h>

PortAccess::PortAccess(PortAccessOptions options)
    : m_selector(options.mode, options.procRoot, options.devRoot, *options.calls,
                 {options.routeArgument, options.ftdiLibrary, options.gpio, options.gpioLibrary,
                  {options.sysRoot, options.procRoot, options.devRoot, options.lockRoot}},
                 options.origin)
    , m_report(std::move(options.report))
    , m_virtual(std::make_unique<VirtualPort>())
    , m_ports(GuardedPorts::map())
{
    if (!options.tracePath.isEmpty()) {
        const QString error = m_trace.open(options.tracePath);
        if (!error.isEmpty()) {
            tell(QStringLiteral("QUARNET_PORT_TRACE=%1: %2; no trace is written")
                     .arg(options.tracePath, error));
        }
    }
    // Started before any route opens, so that it has every device from the
    // moment a winding can be powered, and with the trace already open.
    if (options.guarded)
        startGuardian();
}

void PortAccess::startGuardian()
{
    QString error;
    m_guardian = PortGuardian::start(*m_ports, m_trace.descriptor(), error);
    if (!m_guardian) {
        tell(QStringLiteral("cannot start the guardian that switches the windings off should "
                            "Quarnet be killed: %1; going on without it").arg(error));
        return;
    }
    m_guardian->setEndedHandler([this](const QString &how) {
        tell(QStringLiteral("the guardian that switches the windings off should Quarnet be "
                            "killed has gone (%1); going on without it").arg(how));
    });
}

// Cold: once per device, right after it opened.
void PortAccess::guardSlot(int slot, std::uint16_t port)
{
    if (!m_guardian || !m_guardian->isAlive())
        return;
    const QString problem = m_guardian->hold(slot, m_real[slot].backend->guardHandle());
    if (!problem.isEmpty()) {
        tell(QStringLiteral("port %1: the guardian cannot hold its device (%2): should Quarnet be "
                            "killed, its windings may stay powered").arg(PortSelector::hex(port), problem));
    }
}

PortAccess::~PortAccess()
{
    shutdown();
}

PortAccessOptions PortAccess::optionsFor(const PortChoice &choice, const QString &origin)
{
    PortAccessOptions options;
    options.mode = choice.mode;
    options.routeArgument = choice.argument;
    options.gpio = choice.gpio;
    options.origin = origin;
    options.tracePath = qEnvironmentVariable("QUARNET_PORT_TRACE");
    return options;
}

std::unique_ptr<PortAccess> PortAccess::forChoice(const PortChoice &choice, const QString &origin)
{
    PortAccessOptions options = optionsFor(choice, origin);
    options.guarded = true;
    return std::make_unique<PortAccess>(std::move(options));
}

QList<std::uint16_t> PortAccess::grantDirectAhead(const PortChoice &choice, PortSystemCalls &calls,
                                                 const QString &procRoot)
{
    return PortSelector(choice.mode, procRoot, QStringLiteral("/dev"), calls).grantDirectAhead();
}

void PortAccess::Out32(std::int16_t port, std::int16_t value)
{
    if (m_shutDown.load(std::memory_order_relaxed))
        return;
    const auto number = static_cast<std::uint16_t>(port);
    const auto byte = static_cast<std::uint8_t>(value & 0xFF);
    // The drive writes the same port step after step: check the last one first.
    if (number != m_last.port || m_last.backend == nullptr) {
        m_last.backend = backendFor(number);
        m_last.port = number;
    }
    // For the guardian, before the device: see GuardedPorts.
    m_ports->last[number].store(byte, std::memory_order_relaxed);
    m_last.backend->write(number, byte);
    if (m_last.backend->gone()) [[unlikely]]
        abandonGone(number, byte);
    m_trace.record(number, byte);
}

PortBackend *PortAccess::backendFor(std::uint16_t port)
{
    const std::uint8_t slot = m_ports->routes[port];
    if (slot == Unrouted)
        return routeFirstUse(port);
    if (slot == VirtualSlot)
        return m_virtual.get();
    return m_real[slot - FirstRealSlot].backend.get();
}

PortBackend *PortAccess::routeFirstUse(std::uint16_t port)
{
    PortSelection selection = m_selector.select(port);
    if (selection.backend && m_realCount == MaxRealRoutes) {
        selection = {nullptr, PortRoute::Virtual,
                     QStringLiteral("port %1: %2; using a virtual port instead")
                         .arg(PortSelector::hex(port), portFaultAdvice(PortFault::TooManyRoutes)),
                     true};
    }
    m_reasons.insert(port, selection.reason);
    if (selection.refused)
        tell(selection.reason);
    if (!selection.backend && selection.route != PortRoute::Virtual)
        return shareDevice(port, selection.route);
    if (!selection.backend) {
        m_ports->routes[port] = VirtualSlot;
        return m_virtual.get();
    }
    const int slot = m_realCount++;
    m_real[slot].backend = std::move(selection.backend);
    m_real[slot].kind = selection.route;
    m_ports->routes[port] = static_cast<std::uint8_t>(FirstRealSlot + slot);
    guardSlot(slot, port);
    return m_real[slot].backend.get();
}

PortBackend *PortAccess::shareDevice(std::uint16_t port, PortRoute route)
{
    for (int slot = 0; slot < m_realCount; ++slot) {
        if (m_real[slot].kind == route && !m_real[slot].backend->gone()) {
            m_ports->routes[port] = static_cast<std::uint8_t>(FirstRealSlot + slot);
            return m_real[slot].backend.get();
        }
    }
    m_ports->routes[port] = VirtualSlot;
    return m_virtual.get();
}

// Cold: runs once per device, when its first write fails. The device gets
// the phase lines off once more, in case only that write was lost; every
// port it served goes virtual, so the user is told only once.
void PortAccess::abandonGone(std::uint16_t port, std::uint8_t value)
{
    PortBackend *gone = m_last.backend;
    gone->retryOff(static_cast<std::uint8_t>(value & 0xF0));
    int goneSlot = 0;
    while (m_real[goneSlot].backend.get() != gone)
        ++goneSlot;
    const auto slotValue = static_cast<std::uint8_t>(FirstRealSlot + goneSlot);
    for (std::uint8_t &route : m_ports->routes) {
        if (route == slotValue)
            route = VirtualSlot;
    }
    const QString line = QStringLiteral("port %1: %2; later writes go to a virtual port")
                             .arg(PortSelector::hex(port), gone->goneReason());
    m_reasons.insert(port, line);
    tell(line);
    m_last.backend = m_virtual.get();
    m_last.backend->write(port, value);
    if (m_failed)
        m_failed(line);
}

void PortAccess::shutdown() noexcept
{
    if (m_shutDown.exchange(true))
        return;
    for (int slot = 0; slot < m_realCount; ++slot)
        m_real[slot].backend->release();
    m_trace.close();
}

std::optional<std::uint8_t> PortAccess::virtualByte(std::uint16_t port) const
{
    return m_virtual->lastByte(port);
}

std::optional<PortRoute> PortAccess::routeOf(std::uint16_t port) const
{
    const std::uint8_t slot = m_ports->routes[port];
    if (slot == Unrouted)
        return std::nullopt;
    if (slot == VirtualSlot)
        return PortRoute::Virtual;
    return m_real[slot - FirstRealSlot].kind;
}

QString PortAccess::routeReason(std::uint16_t port) const
{
    return m_reasons.value(port);
}

void PortAccess::tell(const QString &line) const
{
    const QString text = QStringLiteral("quarnet: ") + line;
    if (m_report) {
        m_report(text);
        return;
    }
    // One write(2) per line: the line stays whole next to other output and
    // reaches the terminal even if the process is about to _exit.
    const QByteArray bytes = text.toLocal8Bit() + '\n';
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, bytes.constData(),
                                                     static_cast<size_t>(bytes.size()));
}
