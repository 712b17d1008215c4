#include "ftdi/FtdiPort.h"

#include <ftdi.h>
#include <cerrno>
#include <unistd.h>

namespace {

// The pins' byte for every drive byte, so a step costs one load.
constexpr std::array<std::uint8_t, 256> makeWire()
{
    std::array<std::uint8_t, 256> wire{};
    for (int value = 0; value < 256; ++value)
        wire[value] = ftdiPinsOf(static_cast<std::uint8_t>(value));
    return wire;
}

constexpr std::array<std::uint8_t, 256> Wire = makeWire();

// Opening the adapter unbinds its serial driver from under whoever uses
// the port: a program seen holding it refuses the adapter, and so does a
// use that cannot be seen whole (an ordinary user cannot read other users'
// descriptors) unless the user named this very adapter.
QString serialPortInUse(const FtdiPick &pick, const FtdiDeviceString &wanted, const SerialPortRoots &roots)
{
    const SerialPortUse use = SerialPortUse::of(pick.bus, pick.address, roots);
    if (!use.holders.isEmpty()) {
        return QStringLiteral("its serial port is in use: %1; Quarnet does not take an adapter another "
                              "program is using (close that program first)")
            .arg(use.holders.join(QStringLiteral("; ")));
    }
    if (use.someUnseen && wanted.kind == FtdiDeviceString::Kind::First) {
        return QStringLiteral("its serial port %1 may be open in a program of another user or a system "
                              "service, which Quarnet cannot see; name this adapter to take it all the "
                              "same (ftdi:d:%2/%3)")
            .arg(use.ports.join(QStringLiteral(", ")))
            .arg(pick.bus, 3, 10, QLatin1Char('0'))
            .arg(pick.address, 3, 10, QLatin1Char('0'));
    }
    return {};
}

// Whether this user may open the adapter's usbfs node at all. Asked before
// anything about its serial port, so that a user without the udev rule
// learns first what stops every way of naming the adapter; only a plain
// "no" counts, anything else is left to libusb's own open.
bool usbNodeRefused(const FtdiPick &pick, const SerialPortRoots &roots)
{
    const QByteArray node = QStringLiteral("%1/bus/usb/%2/%3")
                                .arg(roots.dev)
                                .arg(pick.bus, 3, 10, QLatin1Char('0'))
                                .arg(pick.address, 3, 10, QLatin1Char('0'))
                                .toLocal8Bit();
    return ::access(node.constData(), R_OK | W_OK) != 0 && (errno == EACCES || errno == EPERM);
}

} // namespace

PortOpening FtdiPort::open(const QByteArray &device, const LibraryFactory &factory,
                                 const SerialPortRoots &roots)
{
    std::unique_ptr<FtdiLibrary> library = factory();
    const QString tried = device.isEmpty()
        ? QStringLiteral("USB adapter FT232R (0403:6001) or FT232H (0403:6014)")
        : QStringLiteral("USB adapter ftdi:") + QString::fromLocal8Bit(device);
    QString name = tried;
    const auto refuse = [&](PortStep step, int code) -> PortOpening {
        PortOpening refused{nullptr, portError(step, code, {}, QString::fromLocal8Bit(library->errorString())),
                            name};
        if (step == PortStep::UsbSetup)
            library->close();
        library->free();
        return refused;
    };
    const auto refuseFound = [&](PortError error) -> PortOpening {
        library->free();
        return {nullptr, std::move(error), name};
    };
    const std::optional<FtdiDeviceString> wanted = parseFtdiDeviceString(device);
    if (!wanted)
        return {nullptr, portError(PortFault::Other, QStringLiteral("illegal description format")), tried};
    if (!library->create(WriteTimeoutMs))
        return {nullptr, portError(PortFault::NoUsb), tried};

    const FtdiPick pick = pickFtdiDevice(*library, *wanted);
    if (pick.index < 0)
        return refuseFound(pick.error);
    name = pick.name;
    if (usbNodeRefused(pick, roots))
        return refuseFound(portError(PortFault::AdapterDenied));
    if (const QString inUse = serialPortInUse(pick, *wanted, roots); !inUse.isEmpty())
        return refuseFound(portError(PortFault::SerialPortInUse, inUse));
    int code = library->openListed(pick.index);
    if (code < 0)
        return refuse(PortStep::UsbOpen, code);
    if ((code = library->setBitmode(ftdiOutputPins(), BITMODE_BITBANG)) < 0)
        return refuse(PortStep::UsbSetup, code);
    // The five pins become outputs at once; the first byte makes them all
    // low before the drive writes anything.
    const unsigned char off = 0;
    if ((code = library->writeData(&off, 1)) != 1)
        return refuse(PortStep::UsbSetup, code < 0 ? code : -1);
    return {std::unique_ptr<PortBackend>(new FtdiPort(std::move(library), name)), {}, name};
}

FtdiPort::FtdiPort(std::unique_ptr<FtdiLibrary> library, QString name)
    : m_library(std::move(library))
    , m_name(std::move(name))
{
}

FtdiPort::~FtdiPort()
{
    release();
}

void FtdiPort::write(std::uint16_t, std::uint8_t value)
{
    if (!m_open || m_gone)
        return;
    m_writing = 1;
    // One USB bulk transfer per step: libftdi sends the byte at once.
    const unsigned char pins = Wire[value];
    const int written = m_library->writeData(&pins, 1);
    m_writing = 0;
    if (written != 1) [[unlikely]] {
        m_gone = true;
        m_failure = QString::fromLocal8Bit(m_library->errorString());
    }
}

void FtdiPort::release() noexcept
{
    // A release that interrupted a write can only come from a signal
    // handler on this thread, inside libusb: leave the device to the
    // kernel's clean-up when the process ends.
    if (!m_open || m_writing)
        return;
    m_open = false;
    if (!m_gone) {
        const unsigned char off = 0;
        m_library->writeData(&off, 1);
    }
    // Bit-bang mode stays on, with the five outputs low; after a reset or a
    // replug the chip is back in serial mode, where those pins are inputs.
    m_library->close();
    m_library->free();
}

// A transfer that timed out may have been one stall, not the adapter gone:
// the off byte is worth one more bounded try.
void FtdiPort::retryOff(std::uint8_t off) noexcept
{
    if (!m_open || m_writing)
        return;
    const unsigned char pins = Wire[off];
    m_library->writeData(&pins, 1);
}

QString FtdiPort::goneReason() const
{
    return m_name
        + QStringLiteral(": write failed or took longer than %1 ms (%2): ").arg(WriteTimeoutMs).arg(m_failure)
        + portFaultAdvice(PortFault::Unplugged);
}

// libusb keeps its descriptor of the device node to itself: found by the
// node's path, /dev/bus/usb/BBB/DDD.
GuardHandle FtdiPort::guardHandle() const
{
    std::uint8_t bus = 0;
    std::uint8_t address = 0;
    if (!m_open || m_gone || !m_library->openedAddress(bus, address))
        return {};
    const QByteArray node = QByteArrayLiteral("/dev/bus/usb/")
        + QByteArray::number(bus).rightJustified(3, '0') + '/'
        + QByteArray::number(address).rightJustified(3, '0');
    const int fd = newestDescriptorLinkedTo([&](const QByteArray &target) { return target == node; });
    if (fd < 0)
        return {};
    return {GuardHandle::Kind::UsbBulk, fd};
}
