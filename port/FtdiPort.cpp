#include "FtdiPort.h"

#include <QList>
#include <array>
#include <ftdi.h>

namespace {

constexpr int FtdiVendor = 0x0403;

struct Model
{
    int product;
    const char *name;
};

// The chips whose async bit-bang mode drives all eight pins from one byte.
constexpr std::array<Model, 2> Models{{{0x6001, "FT232R"}, {0x6014, "FT232H"}}};

struct CodeFault
{
    FtdiStep step;
    int code;
    FtdiFault fault;
};

// libftdi's return codes as its open and set-up functions document them.
// -3 at opening is either "device not found" or, from deeper in, "unable to
// set usb configuration" because ftdi_sio keeps it: the text tells them apart.
constexpr std::array<CodeFault, 7> CodeFaults{{
    {FtdiStep::Open, -3, FtdiFault::NoAdapter},
    {FtdiStep::Open, -4, FtdiFault::AccessDenied}, // libusb_open refused the node
    {FtdiStep::Open, -8, FtdiFault::AccessDenied}, // "inappropriate permissions on device"
    {FtdiStep::Open, -5, FtdiFault::DriverHeld},   // interface claimed elsewhere
    {FtdiStep::Open, -11, FtdiFault::DriverHeld},  // libusb_detach_kernel_driver failed
    {FtdiStep::Setup, -2, FtdiFault::Unplugged},   // "USB device unavailable"
    {FtdiStep::Setup, -4, FtdiFault::Unplugged},   // LIBUSB_ERROR_NO_DEVICE from a write
}};

struct FaultAdvice
{
    FtdiFault fault;
    const char *advice;
};

constexpr std::array<FaultAdvice, 5> Advice{{
    {FtdiFault::NoUsb, "libusb could not start: this system gives no USB access"},
    {FtdiFault::NoAdapter,
     "not found: plug the adapter in and check that lsusb lists it (0403:6001 or 0403:6014)"},
    {FtdiFault::AccessDenied,
     "permission denied: install the package's udev rule (60-quarnet-ftdi.rules), join group "
     "plugdev (sudo usermod -aG plugdev $USER), log in again and replug the adapter"},
    {FtdiFault::DriverHeld,
     "the kernel's serial driver or another program holds it and it could not be detached: "
     "close whatever uses /dev/ttyUSB*, or sudo rmmod ftdi_sio"},
    {FtdiFault::Unplugged, "the adapter was unplugged or stopped answering"},
}};

QString describe(FtdiFault fault, const char *libraryText)
{
    const QString advice = ftdiFaultAdvice(fault);
    return advice.isEmpty() ? QString::fromLocal8Bit(libraryText) : advice;
}

bool isNumber(const QByteArray &text, uint max)
{
    bool ok = false;
    const uint value = text.toUInt(&ok, 0);
    return ok && value <= max;
}

bool isBusAndDevice(const QByteArray &text)
{
    const QList<QByteArray> parts = text.split('/');
    if (parts.size() != 2)
        return false;
    for (const QByteArray &part : parts) {
        if (part.isEmpty() || !isNumber(part, 255))
            return false;
        for (char c : part) {
            if (c < '0' || c > '9')
                return false;
        }
    }
    return true;
}

} // namespace

FtdiFault ftdiFaultFrom(FtdiStep step, int code, const char *libraryText)
{
    for (const CodeFault &entry : CodeFaults) {
        if (entry.step != step || entry.code != code)
            continue;
        if (entry.fault == FtdiFault::NoAdapter && !QByteArrayView(libraryText).contains("not found"))
            return FtdiFault::DriverHeld;
        return entry.fault;
    }
    return FtdiFault::Other;
}

QString ftdiFaultAdvice(FtdiFault fault)
{
    for (const FaultAdvice &entry : Advice) {
        if (entry.fault == fault)
            return QString::fromUtf8(entry.advice);
    }
    return {};
}

bool isFtdiDeviceString(QByteArrayView text)
{
    if (text.size() < 3 || text[1] != ':')
        return false;
    const QByteArray rest = text.sliced(2).toByteArray();
    switch (text[0]) {
    case 'd':
        return isBusAndDevice(rest);
    case 'i': {
        const QList<QByteArray> parts = rest.split(':');
        return (parts.size() == 2 || parts.size() == 3) && isNumber(parts[0], 0xFFFF)
            && isNumber(parts[1], 0xFFFF) && (parts.size() == 2 || isNumber(parts[2], 0xFFFF));
    }
    case 's': {
        // The serial is the rest, colons included, as libftdi reads it.
        const QList<QByteArray> parts = rest.split(':');
        return parts.size() >= 3 && isNumber(parts[0], 0xFFFF) && isNumber(parts[1], 0xFFFF)
            && rest.size() > parts[0].size() + parts[1].size() + 2;
    }
    default:
        return false;
    }
}

FtdiPort::Opening FtdiPort::open(const QByteArray &device, const LibraryFactory &factory)
{
    std::unique_ptr<FtdiLibrary> library = factory();
    const QString tried = device.isEmpty()
        ? QStringLiteral("USB adapter FT232R (0403:6001) or FT232H (0403:6014)")
        : QStringLiteral("USB adapter ftdi:") + QString::fromLocal8Bit(device);
    QString name = tried;
    const auto refuse = [&](FtdiStep step, int code) -> Opening {
        const char *text = library->errorString();
        const FtdiFault fault = ftdiFaultFrom(step, code, text);
        Opening refused{nullptr, fault, name + QStringLiteral(": ") + describe(fault, text)};
        if (step == FtdiStep::Setup)
            library->close();
        library->free();
        return refused;
    };
    if (!library->create()) {
        return {nullptr, FtdiFault::NoUsb,
                tried + QStringLiteral(": ") + ftdiFaultAdvice(FtdiFault::NoUsb)};
    }

    int code = 0;
    if (device.isEmpty()) {
        for (const Model &model : Models) {
            code = library->openFirst(FtdiVendor, model.product);
            if (ftdiFaultFrom(FtdiStep::Open, code, library->errorString()) != FtdiFault::NoAdapter) {
                name = QStringLiteral("USB adapter %1 (0403:%2)")
                           .arg(QLatin1String(model.name))
                           .arg(model.product, 4, 16, QLatin1Char('0'));
                break;
            }
        }
    } else {
        code = library->openString(device.constData());
    }
    if (code < 0)
        return refuse(FtdiStep::Open, code);

    if ((code = library->setBitmode(0xFF, BITMODE_BITBANG)) < 0)
        return refuse(FtdiStep::Setup, code);
    // All pins become outputs at once; the first byte makes them all low
    // before the drive writes anything.
    const unsigned char off = 0;
    if ((code = library->writeData(&off, 1)) != 1)
        return refuse(FtdiStep::Setup, code < 0 ? code : -1);
    return {std::unique_ptr<PortBackend>(new FtdiPort(std::move(library), name)), FtdiFault::None, name};
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
    const int written = m_library->writeData(&value, 1);
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
    // Bit-bang mode stays on: back in serial mode, TXD (D0) and RTS# (D2)
    // idle high and would power two windings. The chip keeps mode and
    // byte 0 until it is reset or unplugged.
    m_library->close();
    m_library->free();
}

QString FtdiPort::goneReason() const
{
    return m_name + QStringLiteral(": write failed (") + m_failure + QStringLiteral("): ")
        + ftdiFaultAdvice(FtdiFault::Unplugged);
}
