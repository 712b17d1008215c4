#pragma once

#include <QString>

// Why the USB adapter could not be used; each carries advice a user can act on.
enum class FtdiFault {
    None,
    NoUsb,         // libusb could not start: no USB access at all here
    NoAdapter,     // nothing with the ids, or nothing at the named place
    NotAnAdapter,  // the named device is no FT232R or FT232H: left alone
    Several,       // more than one adapter and none named
    AccessDenied,  // libusb could not open the device node
    Held,          // another program has claimed the interface through libusb
    Unplugged,     // the adapter went away or stopped answering in time
    Other,         // libftdi's own text says it
};

// The libftdi function that answered; the same code means different things
// in different functions.
enum class FtdiStep {
    Strings, // ftdi_usb_get_strings2
    Open,    // ftdi_usb_open_dev
    Setup,   // ftdi_set_bitmode and the first ftdi_write_data
};

FtdiFault ftdiFaultFrom(FtdiStep step, int code);
// Empty for the faults whose text is built where they are found, and for Other.
QString ftdiFaultAdvice(FtdiFault fault);
