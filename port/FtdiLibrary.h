#pragma once

#include <memory>

// The libftdi1 calls the USB bit-bang route makes, one object per adapter
// context, so that tests can refuse, record or unplug without a device. Each
// method is the libftdi function of the same meaning and returns what it
// returns (0 or a byte count for success, a negative code for failure).
class FtdiLibrary
{
public:
    virtual ~FtdiLibrary() = default;

    // ftdi_new: false when the context or libusb could not be set up.
    virtual bool create() = 0;
    // ftdi_usb_open: the first device with these ids.
    virtual int openFirst(int vendor, int product) = 0;
    // ftdi_usb_open_string: d:BUS/DEV, i:VID:PID[:INDEX] or s:VID:PID:SERIAL.
    virtual int openString(const char *device) = 0;
    virtual int setBitmode(unsigned char outputs, unsigned char mode) = 0;
    virtual int writeData(const unsigned char *data, int size) = 0;
    virtual int close() = 0;
    // ftdi_free; the object can be created again afterwards.
    virtual void free() = 0;
    // The text libftdi keeps for its last failure.
    virtual const char *errorString() const = 0;

    static std::unique_ptr<FtdiLibrary> real();
};
