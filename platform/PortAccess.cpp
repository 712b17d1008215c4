#include "PortAccess.h"

#include "VirtualPort.h"

#include <unistd.h>

PortAccess::PortAccess(PortAccessOptions options)
    : m_selector(options.mode, options.procRoot, options.devRoot, options.calls,
                 std::move(options.gpio), std::move(options.gpioLibrary))
    , m_report(std::move(options.report))
    , m_virtual(std::make_unique<VirtualPort>())
    , m_routes(std::make_unique<std::array<std::uint8_t, 65536>>())
{
    m_routes->fill(Unrouted);
    if (!options.tracePath.isEmpty()) {
        const QString error = m_trace.open(options.tracePath);
        if (!error.isEmpty()) {
            tell(QStringLiteral("QUARNET_PORT_TRACE=%1: %2; no trace is written")
                     .arg(options.tracePath, error));
        }
    }
}

PortAccess::~PortAccess()
{
    shutdown();
}

PortAccessOptions PortAccess::optionsFromEnvironment(
    const std::function<void(const QString &)> &report)
{
    PortAccessOptions options;
    options.report = report;
    const QByteArray mode = qgetenv("QUARNET_PORT");
    QString error;
    if (const std::optional<PortChoice> parsed = parsePortMode(mode, &error)) {
        options.mode = parsed->mode;
        options.gpio = parsed->gpio;
    } else if (!error.isEmpty()) {
        PortAccess::tell(report, QStringLiteral("QUARNET_PORT=") + error);
        options.refused = true;
    } else {
        PortAccess::tell(report, QStringLiteral("QUARNET_PORT=%1 is not auto, ppdev, direct or "
                                                "virtual; using auto")
                                     .arg(QString::fromLocal8Bit(mode)));
    }
    options.tracePath = qEnvironmentVariable("QUARNET_PORT_TRACE");
    return options;
}

std::unique_ptr<PortAccess> PortAccess::fromEnvironment()
{
    return std::make_unique<PortAccess>(optionsFromEnvironment());
}

void PortAccess::Out32(std::int16_t port, std::int16_t value)
{
    if (m_shutDown.load(std::memory_order_relaxed))
        return;
    const auto number = static_cast<std::uint16_t>(port);
    const auto byte = static_cast<std::uint8_t>(value & 0xFF);
    // The drive writes the same port step after step: check the last one first.
    if (number != m_lastPort || m_lastBackend == nullptr) {
        m_lastBackend = backendFor(number);
        m_lastPort = number;
    }
    m_lastBackend->write(number, byte);
    m_trace.record(number, byte);
}

PortBackend *PortAccess::backendFor(std::uint16_t port)
{
    const std::uint8_t slot = (*m_routes)[port];
    if (slot == Unrouted)
        return routeFirstUse(port);
    return backendIn(slot);
}

PortBackend *PortAccess::backendIn(std::uint8_t slot)
{
    if (slot == VirtualSlot)
        return m_virtual.get();
    return m_real[slot - FirstRealSlot].get();
}

PortBackend *PortAccess::routeFirstUse(std::uint16_t port)
{
    PortSelection selection = m_selector.select(port);
    if (selection.route == PortRoute::Gpio && !selection.backend)
        return routeToGpio(port, selection.reason);
    if (selection.backend && m_realCount == MaxRealRoutes) {
        selection = {nullptr, PortRoute::Virtual,
                     QStringLiteral("port %1: %2; using a virtual port instead")
                         .arg(PortSelector::hex(port), portFaultAdvice(PortFault::TooManyRoutes)),
                     true};
    }
    m_reasons.insert(port, selection.reason);
    if (selection.refused)
        tell(selection.reason);
    const std::uint8_t slot = selection.backend ? keepRealRoute(std::move(selection)) : VirtualSlot;
    (*m_routes)[port] = slot;
    return backendIn(slot);
}

std::uint8_t PortAccess::keepRealRoute(PortSelection selection)
{
    const int slot = m_realCount++;
    m_real[slot] = std::move(selection.backend);
    m_realKind[slot] = selection.route;
    return static_cast<std::uint8_t>(FirstRealSlot + slot);
}

PortBackend *PortAccess::routeToGpio(std::uint16_t port, const QString &reason)
{
    if (m_gpioSlot == Unrouted) {
        PortSelection opened = m_selector.openGpio();
        // Said once, whichever base comes first: the others share the lines.
        if (opened.refused)
            tell(opened.reason);
        m_gpioReason = opened.reason;
        m_gpioSlot = opened.backend ? keepRealRoute(std::move(opened)) : VirtualSlot;
    }
    m_reasons.insert(port, m_gpioSlot == VirtualSlot ? QStringLiteral("port %1: %2")
                                                           .arg(PortSelector::hex(port), m_gpioReason)
                                                     : reason);
    (*m_routes)[port] = m_gpioSlot;
    return backendIn(m_gpioSlot);
}

void PortAccess::shutdown() noexcept
{
    if (m_shutDown.exchange(true))
        return;
    for (int slot = 0; slot < m_realCount; ++slot)
        m_real[slot]->release();
    m_trace.close();
}

std::optional<std::uint8_t> PortAccess::virtualByte(std::uint16_t port) const
{
    return m_virtual->lastByte(port);
}

std::optional<PortRoute> PortAccess::routeOf(std::uint16_t port) const
{
    const std::uint8_t slot = (*m_routes)[port];
    if (slot == Unrouted)
        return std::nullopt;
    if (slot == VirtualSlot)
        return PortRoute::Virtual;
    return m_realKind[slot - FirstRealSlot];
}

QString PortAccess::routeReason(std::uint16_t port) const
{
    return m_reasons.value(port);
}

void PortAccess::tell(const QString &line) const
{
    tell(m_report, line);
}

void PortAccess::tell(const std::function<void(const QString &)> &report, const QString &line)
{
    const QString text = QStringLiteral("quarnet: ") + line;
    if (report) {
        report(text);
        return;
    }
    // One write(2) per line: the line stays whole next to other output and
    // reaches the terminal even if the process is about to _exit.
    const QByteArray bytes = text.toLocal8Bit() + '\n';
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, bytes.constData(),
                                                     static_cast<size_t>(bytes.size()));
}
