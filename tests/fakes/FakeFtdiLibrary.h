#pragma once

#include "FakePortSystem.h"
#include "ftdi/FtdiPort.h"
#include "PortAccess.h"

#include <QByteArray>
#include <QList>
#include <QStringList>
#include <functional>
#include <memory>

// One device on the fake bus, with the strings it answers when opened.
struct FakeUsbDevice
{
    FtdiUsbDevice usb;
    QByteArray description;
    QByteArray serial;

    static FakeUsbDevice ft232r(int bus, int address, const QByteArray &serial = "A50285BI");
    static FakeUsbDevice ft232h(int bus, int address, const QByteArray &serial = "FT6ZQ1XB");
    static FakeUsbDevice other(int bus, int address, int vendor, int product, int release);
};

// What the fake USB bus holds and how it misbehaves, shared by every
// library object a test's factory hands out, with the calls they made.
// Codes and texts are libftdi 1.5's own, per function.
struct FakeFtdiBus
{
    enum class WriteFault {
        Unplug, // libusb fails at once (LIBUSB_ERROR_NO_DEVICE)
        Stall,  // the chip takes nothing: libusb gives up after the timeout
    };

    bool usb = true; // ftdi_new succeeds
    QList<FakeUsbDevice> devices{FakeUsbDevice::ft232r(1, 4)};
    int stringsCode = 0; // ftdi_usb_get_strings2 on any device
    int openCode = 0;    // ftdi_usb_open_dev, with libftdi's text for it
    int bitmodeCode = 0;
    int writesBeforeFault = -1; // -1: every write goes through
    WriteFault writeFault = WriteFault::Unplug;
    int faultingWrites = -1; // once faults begin, how many fail; -1: every one
    std::function<void()> duringWrite;
    int writeTimeoutMs = 0; // as the last create set it
    // "new", "strings 001/004", "open 001/004", "bitmode ea 1", "write 0x42",
    // "close", "free"
    QStringList log;
    // The kernel the bus's port access runs on; shared so that a bus can be
    // set afresh by assignment.
    std::shared_ptr<FakePortSystem> kernel = std::make_shared<FakePortSystem>();

    FtdiPort::LibraryFactory factory();
    // A port access forced to the adapter route ("--port ftdi") over this
    // bus and a fake kernel tree under `root` that lists one PCI card at
    // 0xd010; each line for the user goes to `told`.
    std::unique_ptr<PortAccess> access(const QString &root, const QByteArray &device, QStringList &told,
                                       const QString &tracePath = {});
};

class FakeFtdiLibrary final : public FtdiLibrary
{
public:
    explicit FakeFtdiLibrary(FakeFtdiBus &bus);

    bool create(int writeTimeoutMs) override;
    int listDevices(QList<FtdiUsbDevice> &devices) override;
    int readStrings(int index, QByteArray &description, QByteArray &serial) override;
    int openListed(int index) override;
    int setBitmode(unsigned char outputs, unsigned char mode) override;
    int writeData(const unsigned char *data, int size) override;
    int close() override;
    void free() override;
    const char *errorString() const override;

private:
    int fail(int code, const char *text);
    QString place(int index) const;

    FakeFtdiBus &m_bus;
    bool m_created = false;
    bool m_listed = false;
    int m_timeoutMs = 0;
    bool m_open = false; // libftdi's usb_dev is set
    const char *m_error = nullptr;
};
