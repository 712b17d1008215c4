#include "ftdi/FtdiFault.h"

#include <array>

namespace {

struct CodeFault
{
    FtdiStep step;
    int code;
    FtdiFault fault;
};

// libftdi 1.5's codes as its sources return them, function by function; a
// code not here (a descriptor libusb could not read) keeps libftdi's text.
constexpr std::array<CodeFault, 10> CodeFaults{{
    // "libusb_open() failed": the node refused us, or the device just left.
    {FtdiStep::Strings, -4, FtdiFault::AccessDenied},
    // "libusb_get_string_descriptor_ascii() failed": the chip did not answer.
    {FtdiStep::Strings, -8, FtdiFault::Unplugged},
    {FtdiStep::Strings, -9, FtdiFault::Unplugged},
    {FtdiStep::Open, -4, FtdiFault::AccessDenied},
    // "inappropriate permissions on device!": detaching ftdi_sio was refused
    // with EPERM and the claim then failed.
    {FtdiStep::Open, -8, FtdiFault::AccessDenied},
    // "unable to set usb configuration…" and "unable to claim usb device…":
    // libftdi has already detached ftdi_sio, so an open /dev/ttyUSB is not
    // the cause; another libusb program holds the interface.
    {FtdiStep::Open, -3, FtdiFault::Held},
    {FtdiStep::Open, -5, FtdiFault::Held},
    // "ftdi_usb_reset failed", "set baudrate failed": control transfers that
    // failed or timed out.
    {FtdiStep::Open, -6, FtdiFault::Unplugged},
    {FtdiStep::Open, -7, FtdiFault::Unplugged},
    // "unable to configure bitbang mode…" and "usb bulk write failed": both
    // -1, whether the device is gone or the transfer timed out.
    {FtdiStep::Setup, -1, FtdiFault::Unplugged},
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
     "libusb could not open it, most often for want of permission: install the package's udev "
     "rule (60-quarnet-ftdi.rules), which gives it to the user at the machine's seat, and replug "
     "the adapter"},
    {FtdiFault::Held,
     "another program holds it through libusb (another Quarnet, OpenOCD, avrdude, a libftdi "
     "tool): close that program"},
    {FtdiFault::Unplugged, "the adapter was unplugged or stopped answering"},
}};

} // namespace

FtdiFault ftdiFaultFrom(FtdiStep step, int code)
{
    for (const CodeFault &entry : CodeFaults) {
        if (entry.step == step && entry.code == code)
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
