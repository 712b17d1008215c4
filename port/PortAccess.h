#pragma once

#include "IPort.h"
#include "PortGuardian.h"
#include "PortMode.h"
#include "PortSelection.h"
#include "PortSelector.h"
#include "PortSystemCalls.h"
#include "PortTrace.h"

#include <QHash>
#include <QString>
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class VirtualPort;

struct PortAccessOptions
{
    PortMode mode = PortMode::Auto;
    GpioLineSet gpio; // the lines of mode `Gpio`
    GpioLibraryFactory gpioLibrary = makeLibgpiod;
    QString procRoot = QStringLiteral("/proc");
    QString devRoot = QStringLiteral("/dev");
    QString tracePath; // empty: no trace
    QString sysRoot = QStringLiteral("/sys");
    QString lockRoot = QStringLiteral("/run/lock");
    PortSystemCalls *calls = &PortSystemCalls::real();
    QByteArray routeArgument; // what follows the route's colon: the adapter ftdi names
    QString origin;           // where a forced route was chosen ("--port ftdi")
    FtdiPort::LibraryFactory ftdiLibrary = FtdiLibrary::real;
    // Receives each line meant for the user; standard error when unset.
    std::function<void(const QString &)> report;
    // A guardian process switches the windings off if the tool is killed:
    // the program's own port has one; a test's fake routes must not.
    bool guarded = false;
};

// The production port: routes each port number to ppdev, direct I/O, the
// USB adapter, the GPIO lines or the virtual port the first time it is used,
// then keeps that route for the life of the process, or until its device
// goes away.
class PortAccess final : public IPort
{
public:
    explicit PortAccess(PortAccessOptions options = {});
    ~PortAccess();
    PortAccess(const PortAccess &) = delete;
    PortAccess &operator=(const PortAccess &) = delete;

    // The route already chosen (the tool's command line), and the trace
    // from QUARNET_PORT_TRACE. The options alone are unguarded: forChoice,
    // the tool's own port, adds the guardian.
    static PortAccessOptions optionsFor(const PortChoice &choice, const QString &origin);
    static std::unique_ptr<PortAccess> forChoice(const PortChoice &choice, const QString &origin);
    // For a process about to give up root: the direct I/O permission for
    // every base `choice` could write directly, taken now; the bases.
    static QList<std::uint16_t> grantDirectAhead(const PortChoice &choice,
                                                 PortSystemCalls &calls = PortSystemCalls::real(),
                                                 const QString &procRoot = QStringLiteral("/proc"));

    // Once per motor step. After a port's first use this touches only memory
    // and the route's one system call (plus the trace's write).
    void Out32(std::int16_t port, std::int16_t value) override;

    // Releases ppdev claims and I/O permissions and closes the trace. Safe on
    // the way to _exit, also from a signal's context: no allocation, no
    // locks, only async-signal-safe calls. Later calls, and any Out32 after
    // it, do nothing: the process is ending and no route is held any more.
    void shutdown() noexcept;

    // Told, on the writing thread and after the line on standard error, when
    // a real route's device fails mid-run: the run must stop, not go on as
    // if the motor turned.
    void setFailureHandler(std::function<void(const QString &)> handler) { m_failed = std::move(handler); }

    // What the virtual port holds for `port`; none when nothing was written.
    std::optional<std::uint8_t> virtualByte(std::uint16_t port) const;
    // How `port` was routed and why; none before its first write.
    std::optional<PortRoute> routeOf(std::uint16_t port) const;
    QString routeReason(std::uint16_t port) const;

    // The guardian's process, while there is one (for tests).
    const PortGuardian *guardian() const { return m_guardian.get(); }

private:
    static constexpr std::uint8_t Unrouted = GuardedPorts::Unrouted;
    static constexpr std::uint8_t VirtualSlot = GuardedPorts::VirtualSlot;
    static constexpr std::uint8_t FirstRealSlot = GuardedPorts::FirstRealSlot;
    // Real routes exist only at parallel-port bases; a PC has a handful.
    static constexpr int MaxRealRoutes = PortGuardian::MaxDevices;

    PortBackend *backendFor(std::uint16_t port);
    PortBackend *routeFirstUse(std::uint16_t port);
    PortBackend *shareDevice(std::uint16_t port, PortRoute route);
    void abandonGone(std::uint16_t port, std::uint8_t value);
    void startGuardian();
    void guardSlot(int slot, std::uint16_t port);
    void tell(const QString &line) const;

    PortSelector m_selector;
    std::function<void(const QString &)> m_report;
    std::function<void(const QString &)> m_failed;
    std::unique_ptr<VirtualPort> m_virtual;
    // Indexed by port number: a route is found with one load, whatever the
    // port. Shared with the guardian, with the last byte of every port.
    std::unique_ptr<GuardedPorts, void (*)(GuardedPorts *)> m_ports;
    std::unique_ptr<PortGuardian> m_guardian;
    // Each real device once, in the order first used; a fixed table, so that
    // the shutdown, which may run in a signal handler, only walks memory.
    struct RealRoute
    {
        std::unique_ptr<PortBackend> backend;
        PortRoute kind = PortRoute::Virtual;
    };
    std::array<RealRoute, MaxRealRoutes> m_real;
    int m_realCount = 0;
    QHash<std::uint16_t, QString> m_reasons;
    // The port the motor writes to, step after step: no table look-up then.
    struct LastHit
    {
        std::uint16_t port = 0;
        PortBackend *backend = nullptr;
    } m_last;
    std::atomic<bool> m_shutDown{false};
    PortTrace m_trace;
};
