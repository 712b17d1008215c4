#include "FakeFtdiLibrary.h"

#include "FakePortSystem.h"

#include <QThread>
#include <utility>

namespace {

// ftdi_usb_open_dev's texts for the codes a test injects.
const char *openText(int code)
{
    switch (code) {
    case -3: return "unable to set usb configuration. Make sure the default FTDI driver is not in use";
    case -4: return "libusb_open() failed";
    case -5: return "unable to claim usb device. Make sure the default FTDI driver is not in use";
    case -6: return "ftdi_usb_reset failed";
    case -7: return "set baudrate failed";
    case -8: return "inappropriate permissions on device!";
    case -9: return "libusb_get_device_descriptor() failed";
    case -10: return "libusb_get_config_descriptor() failed";
    case -12: return "libusb_get_configuration () failed";
    default: return "ftdi context invalid";
    }
}

// ftdi_usb_get_strings2's.
const char *stringsText(int code)
{
    switch (code) {
    case -4: return "libusb_open() failed";
    case -11: return "libusb_get_device_descriptor() failed";
    default: return "libusb_get_string_descriptor_ascii() failed";
    }
}

} // namespace

FakeUsbDevice FakeUsbDevice::ft232r(int bus, int address, const QByteArray &serial)
{
    return {{std::uint8_t(bus), std::uint8_t(address), 0x0403, 0x6001, 0x0600}, "FT232R USB UART", serial};
}

FakeUsbDevice FakeUsbDevice::ft232h(int bus, int address, const QByteArray &serial)
{
    return {{std::uint8_t(bus), std::uint8_t(address), 0x0403, 0x6014, 0x0900}, "Single RS232-HS", serial};
}

FakeUsbDevice FakeUsbDevice::other(int bus, int address, int vendor, int product, int release)
{
    return {{std::uint8_t(bus), std::uint8_t(address), std::uint16_t(vendor), std::uint16_t(product),
             std::uint16_t(release)},
            "USB Receiver",
            "0000"};
}

FtdiPort::LibraryFactory FakeFtdiBus::factory()
{
    // A test keeps its bus alive longer than the port access using it.
    return [this] { return std::make_unique<FakeFtdiLibrary>(*this); };
}

std::unique_ptr<PortAccess> FakeFtdiBus::access(const QString &root, const QByteArray &device,
                                                QStringList &told, const QString &tracePath)
{
    kernel->reset(root);
    if (!FakePortSystem::layOutTree(root, {"53264\t53256"}, {"parport0"}))
        return nullptr;
    PortAccessOptions options = kernel->options(PortMode::Ftdi, told);
    options.routeArgument = device;
    options.origin = QStringLiteral("--port ftdi");
    options.sysRoot = root + "/sys";
    options.lockRoot = root + "/run/lock";
    options.ftdiLibrary = factory();
    options.tracePath = tracePath;
    return std::make_unique<PortAccess>(options);
}

FakeFtdiLibrary::FakeFtdiLibrary(FakeFtdiBus &bus)
    : m_bus(bus)
{
}

int FakeFtdiLibrary::fail(int code, const char *text)
{
    m_error = text;
    return code;
}

QString FakeFtdiLibrary::place(int index) const
{
    const FtdiUsbDevice &usb = m_bus.devices[index].usb;
    return QStringLiteral("%1/%2")
        .arg(usb.bus, 3, 10, QLatin1Char('0'))
        .arg(usb.address, 3, 10, QLatin1Char('0'));
}

bool FakeFtdiLibrary::create(int writeTimeoutMs)
{
    m_bus.log << QStringLiteral("new");
    m_created = m_bus.usb;
    m_timeoutMs = m_bus.writeTimeoutMs = writeTimeoutMs;
    return m_created;
}

int FakeFtdiLibrary::listDevices(QList<FtdiUsbDevice> &devices)
{
    devices.clear();
    if (!m_created)
        return -2; // LIBUSB_ERROR_INVALID_PARAM
    for (const FakeUsbDevice &device : m_bus.devices)
        devices << device.usb;
    m_listed = true;
    return int(devices.size());
}

int FakeFtdiLibrary::readStrings(int index, QByteArray &description, QByteArray &serial)
{
    if (!m_created || !m_listed || index < 0 || index >= m_bus.devices.size())
        return -1;
    m_bus.log << QStringLiteral("strings ") + place(index);
    if (m_bus.stringsCode != 0)
        return fail(m_bus.stringsCode, stringsText(m_bus.stringsCode));
    description = m_bus.devices[index].description;
    serial = m_bus.devices[index].serial;
    return 0;
}

int FakeFtdiLibrary::openListed(int index)
{
    if (!m_created || !m_listed || index < 0 || index >= m_bus.devices.size())
        return fail(-8, "ftdi context invalid");
    m_bus.log << QStringLiteral("open ") + place(index);
    m_listed = false; // the real wrapper drops its list once it has opened
    if (m_bus.openCode != 0)
        return fail(m_bus.openCode, openText(m_bus.openCode));
    m_open = true;
    return fail(0, "all fine");
}

int FakeFtdiLibrary::setBitmode(unsigned char outputs, unsigned char mode)
{
    if (!m_open)
        return fail(-2, "USB device unavailable");
    m_bus.log << QStringLiteral("bitmode %1 %2").arg(outputs, 2, 16, QLatin1Char('0')).arg(mode);
    if (m_bus.bitmodeCode != 0)
        return fail(m_bus.bitmodeCode, "unable to configure bitbang mode. Perhaps not a BM/2232C type chip?");
    return 0;
}

int FakeFtdiLibrary::writeData(const unsigned char *data, int size)
{
    if (!m_open)
        return fail(-666, "USB device unavailable");
    if (m_bus.duringWrite)
        std::exchange(m_bus.duringWrite, nullptr)();
    if (m_bus.writesBeforeFault == 0) {
        if (m_bus.faultingWrites > 0 && --m_bus.faultingWrites == 0)
            m_bus.writesBeforeFault = -1;
        // libusb_bulk_transfer gives up after the context's usb_write_timeout;
        // libftdi answers the same for that as for a device that is gone.
        if (m_bus.writeFault == FakeFtdiBus::WriteFault::Stall)
            QThread::msleep(static_cast<unsigned long>(m_timeoutMs));
        return fail(-1, "usb bulk write failed");
    }
    if (m_bus.writesBeforeFault > 0)
        --m_bus.writesBeforeFault;
    for (int i = 0; i < size; ++i)
        m_bus.log << QStringLiteral("write 0x%1").arg(data[i], 2, 16, QLatin1Char('0'));
    return size;
}

int FakeFtdiLibrary::close()
{
    if (!m_created)
        return fail(-3, "ftdi context invalid");
    m_bus.log << QStringLiteral("close");
    m_open = false;
    return 0;
}

void FakeFtdiLibrary::free()
{
    m_bus.log << QStringLiteral("free");
    m_created = m_listed = m_open = false;
}

const char *FakeFtdiLibrary::errorString() const
{
    return m_error ? m_error : "";
}
