#pragma once

#include <QObject>
#include <QString>
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

class QSocketNotifier;

// What the guardian needs of one real route to switch its windings off on
// its own: the route's kind and a descriptor it keeps a copy of, so that the
// claim, the line request or the USB interface outlives the tool's process.
struct GuardHandle
{
    enum class Kind : std::uint8_t { None, Ppdev, Direct, GpioHandleV1, GpioRequestV2, UsbBulk };
    Kind kind = Kind::None;
    int fd = -1;            // borrowed; the guardian receives its own copy
    std::uint16_t base = 0; // Direct: the data register's I/O port
    std::uint8_t lines = 0; // Gpio*: requested lines, in the data-bit order 0, 1, 2, 3, 6
};

// The port access's route table and the last byte written to every port
// number, in memory the guardian shares. The tool's only cost per step is
// one store into `last`, made before the device is written: a tool that
// dies between the two leaves a byte the guardian switches off all the same.
struct GuardedPorts
{
    static constexpr std::uint8_t Unrouted = 0;
    static constexpr std::uint8_t VirtualSlot = 1;
    static constexpr std::uint8_t FirstRealSlot = 2;

    std::array<std::uint8_t, 65536> routes;
    std::array<std::atomic<std::uint8_t>, 65536> last;

    // Zeroed pages shared with any process forked after this.
    static std::unique_ptr<GuardedPorts, void (*)(GuardedPorts *)> map();
};
static_assert(std::atomic<std::uint8_t>::is_always_lock_free);

// A process of its own, forked from the tool, that outlives it: when the
// tool's end of their socket closes without every winding switched off (a
// SIGKILL, a crash, an _exit in a display plugin, the OOM killer), it writes
// each such port's off byte through the same route and appends it to the
// trace, then ends. While the tool lives it writes nothing. It is a fork
// without exec, so it runs only system calls: no allocation, no lock.
class PortGuardian final : public QObject
{
public:
    // Real routes a tool holds at once: as many as the port access keeps.
    static constexpr int MaxDevices = 8;

    // Null, with `error` set, when the process could not be started.
    // `traceFd` is the trace the guardian appends to (-1: none).
    static std::unique_ptr<PortGuardian> start(GuardedPorts &ports, int traceFd, QString &error);
    ~PortGuardian() override;

    // Hands the guardian the device behind real slot `slot`; the text of
    // what went wrong, empty when it holds it.
    QString hold(int slot, const GuardHandle &handle);
    // Called once, from the event loop, if the guardian ends while the tool
    // still runs: killed, or out of memory.
    void setEndedHandler(std::function<void(const QString &)> handler);
    bool isAlive() const { return m_socket >= 0; }
    qint64 processId() const { return m_pid; }

private:
    PortGuardian(int socket, qint64 pid);
    void guardianEnded();

    int m_socket;
    qint64 m_pid;
    QSocketNotifier *m_notifier = nullptr;
    std::function<void(const QString &)> m_ended;
};

// The newest descriptor of this process whose /proc/self/fd link satisfies
// `matches`, and the link; -1 when none does. For routes whose library keeps
// its descriptor to itself.
int newestDescriptorLinkedTo(const std::function<bool(const QByteArray &link)> &matches,
                             QByteArray *link = nullptr);
