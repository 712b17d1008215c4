#pragma once

#include <QString>

// Why a real route to a port could not be used, whatever the route. Each
// value carries advice a user can act on; the selection line on stderr is
// built from it.
enum class PortFault {
    None,
    // The parallel port, through ppdev or direct I/O.
    NotParallelBase,   // the address is no parallel port's base: never written
    NoKernelParport,   // no /proc/sys/dev/parport/parportN lists this base
    NoDeviceNode,      // /dev/parportN missing: ppdev not loaded
    AccessDenied,      // /dev/parportN refused: not in group lp
    PortUnavailable,   // ENXIO: the port is gone or another driver holds it
    Busy,              // EBUSY: another program has claimed it
    ClaimTimedOut,     // the claim waited too long for another holder
    NotParportDevice,  // the node does not answer ppdev's ioctls
    NoIoPrivilege,     // ioperm refused: not root / no CAP_SYS_RAWIO
    NoPortIo,          // ioperm unsupported here
    TooManyRoutes,     // the fixed route table is full
    // The USB adapter.
    NoUsb,             // libusb could not start: no USB access at all here
    NoAdapter,         // nothing with the ids, or nothing at the named place
    NotAnAdapter,      // the named device is no FT232R or FT232H: left alone
    SeveralAdapters,   // more than one adapter and none named
    AdapterDenied,     // libusb could not open the device node
    AdapterHeld,       // another program has claimed the interface through libusb
    SerialPortInUse,   // a program has the adapter's serial port open, or may have
    Unplugged,         // the adapter went away or stopped answering in time
    // GPIO lines.
    NoChip,            // no such gpiochip node
    NotAChip,          // the node is no GPIO chip
    ChipDenied,        // the chip's node refused this user
    LinesHeld,         // a line is held by another program or driver
    LinesNotFound,     // names or offsets that give no lines of one chip
    Other,             // the system's or the library's own text says it
};

// The step at which a code was returned; the same code means different
// things at different steps (ENXIO at open or claim, EPERM for a file or
// for ioperm, libftdi's -4 in two of its functions).
enum class PortStep {
    Open,          // open(2) of /dev/parportN: errno
    Claim,         // ppdev's PPCLAIM: errno
    IoPermission,  // ioperm(2): errno
    UsbStrings,    // ftdi_usb_get_strings2: libftdi's code
    UsbOpen,       // ftdi_usb_open_dev: libftdi's code
    UsbSetup,      // ftdi_set_bitmode and the first ftdi_write_data: libftdi's code
    GpioChip,      // a GPIO chip's open(2) and ioctls, through libgpiod: errno
};

// What stopped a route: one type for every route, so the selection line is
// built the same way whatever was tried.
struct PortError
{
    PortFault fault = PortFault::None;
    int code = 0;  // errno, or libftdi's code on the USB steps
    QString text;  // what happened and what to do, in words a user acts on

    bool isError() const { return fault != PortFault::None; }
};

PortFault portFaultFrom(PortStep step, int code);

// What the user can do about the fault, or an empty text when nothing
// better than the system's own text can be said. A GPIO chip's advice
// names the chip: `device` fills it in.
QString portFaultAdvice(PortFault fault, const QString &device = {});

// The error for `code` returned at `step`: the fault's advice, or the
// system's own words where there is none (`systemText`, by default
// strerror's for an errno).
PortError portError(PortStep step, int code, const QString &device = {}, const QString &systemText = {});

// A fault found by looking rather than by a code: `text` where the finder
// said more than the advice can, else the advice.
PortError portError(PortFault fault, const QString &text = {});
