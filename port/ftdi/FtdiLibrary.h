#pragma once

#include <QByteArray>
#include <QList>
#include <cstdint>
#include <memory>

// A USB device as its descriptors show it, read without opening it.
struct FtdiUsbDevice
{
    std::uint8_t bus = 0;
    std::uint8_t address = 0;
    std::uint16_t vendor = 0;
    std::uint16_t product = 0;
    std::uint16_t release = 0; // bcdDevice: FTDI's chips tell their type by it
};

// The libftdi1 calls the USB bit-bang route makes, one object per adapter
// context, so that tests can refuse, record, stall or unplug without a
// device. Each method returns what the libftdi function it names returns
// (0 or a byte count for success, that function's own negative codes for
// failure, also for a context that was never created) and leaves its text
// for errorString().
class FtdiLibrary
{
public:
    virtual ~FtdiLibrary() = default;

    // ftdi_new, then the context's usb_write_timeout: every transfer libftdi
    // makes from then on (opening's reset and baud rate, the bit mode, each
    // write) gives up after that long. False when libusb could not start.
    virtual bool create(int writeTimeoutMs) = 0;
    // Every device on the bus from libusb_get_device_list on the context's
    // libusb, with its device descriptor: nothing is opened, claimed or
    // detached. The count, or libusb's negative code.
    virtual int listDevices(QList<FtdiUsbDevice> &devices) = 0;
    // ftdi_usb_get_strings2 on listed device `index`: opens the device node
    // to read its product and serial strings and closes it again; claims
    // nothing, so the kernel's driver stays bound.
    virtual int readStrings(int index, QByteArray &description, QByteArray &serial) = 0;
    // ftdi_usb_open_dev on listed device `index`: detaches the kernel's
    // driver, claims interface 0, resets the chip.
    virtual int openListed(int index) = 0;
    virtual int setBitmode(unsigned char outputs, unsigned char mode) = 0;
    virtual int writeData(const unsigned char *data, int size) = 0;
    virtual int close() = 0;
    // ftdi_free; the object can be created again afterwards.
    virtual void free() = 0;
    // The bus and address of the device openListed opened; false when none
    // is open.
    virtual bool openedAddress(std::uint8_t &, std::uint8_t &) const { return false; }
    // The text libftdi keeps for its last failure.
    virtual const char *errorString() const = 0;

    static std::unique_ptr<FtdiLibrary> real();
};
