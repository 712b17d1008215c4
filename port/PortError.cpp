#include "PortError.h"

#include <array>
#include <cerrno>
#include <cstring>

namespace {

struct CodeFault
{
    PortStep step;
    int code;
    PortFault fault;
};

// libftdi 1.5's codes are as its sources return them, function by function;
// a code not here (a descriptor libusb could not read) keeps libftdi's text.
constexpr std::array<CodeFault, 29> CodeFaults{{
    {PortStep::Open, ENOENT, PortFault::NoDeviceNode},
    {PortStep::Open, ENODEV, PortFault::NoDeviceNode},
    {PortStep::Open, EACCES, PortFault::AccessDenied},
    {PortStep::Open, EPERM, PortFault::AccessDenied},
    {PortStep::Open, ENXIO, PortFault::PortUnavailable},
    {PortStep::Open, EBUSY, PortFault::Busy},
    {PortStep::Claim, ENXIO, PortFault::PortUnavailable},
    {PortStep::Claim, EBUSY, PortFault::Busy},
    {PortStep::Claim, ENOTTY, PortFault::NotParportDevice},
    {PortStep::Claim, EINVAL, PortFault::NotParportDevice},
    {PortStep::IoPermission, EPERM, PortFault::NoIoPrivilege},
    {PortStep::IoPermission, ENOSYS, PortFault::NoPortIo},
    {PortStep::IoPermission, EINVAL, PortFault::NoPortIo},
    // "libusb_open() failed": the node refused us, or the device just left.
    {PortStep::UsbStrings, -4, PortFault::AdapterDenied},
    // "libusb_get_string_descriptor_ascii() failed": the chip did not answer.
    {PortStep::UsbStrings, -8, PortFault::Unplugged},
    {PortStep::UsbStrings, -9, PortFault::Unplugged},
    {PortStep::UsbOpen, -4, PortFault::AdapterDenied},
    // "inappropriate permissions on device!": detaching ftdi_sio was refused
    // with EPERM and the claim then failed.
    {PortStep::UsbOpen, -8, PortFault::AdapterDenied},
    // "unable to set usb configuration…" and "unable to claim usb device…":
    // libftdi has already detached ftdi_sio, so an open /dev/ttyUSB is not
    // the cause; another libusb program holds the interface.
    {PortStep::UsbOpen, -3, PortFault::AdapterHeld},
    {PortStep::UsbOpen, -5, PortFault::AdapterHeld},
    // "ftdi_usb_reset failed", "set baudrate failed": control transfers that
    // failed or timed out.
    {PortStep::UsbOpen, -6, PortFault::Unplugged},
    {PortStep::UsbOpen, -7, PortFault::Unplugged},
    // "unable to configure bitbang mode…" and "usb bulk write failed": both
    // -1, whether the device is gone or the transfer timed out.
    {PortStep::UsbSetup, -1, PortFault::Unplugged},
    // From the kernel (open(2) and the GPIO ioctls) or from libgpiod's own
    // checks: ENOTTY for a file that is no character device (both majors)
    // or, in libgpiod 1, a character device of another kind, which
    // libgpiod 2 answers with ENODEV.
    {PortStep::GpioChip, ENOENT, PortFault::NoChip},
    {PortStep::GpioChip, ENODEV, PortFault::NotAChip},
    {PortStep::GpioChip, ENOTTY, PortFault::NotAChip},
    {PortStep::GpioChip, EACCES, PortFault::ChipDenied},
    {PortStep::GpioChip, EPERM, PortFault::ChipDenied},
    {PortStep::GpioChip, EBUSY, PortFault::LinesHeld},
}};

struct FaultAdvice
{
    PortFault fault;
    const char *advice; // %1, where there is one: the device as the user named it
};

constexpr std::array<FaultAdvice, 23> Advice{{
    {PortFault::NotParallelBase,
     "not a parallel-port base (0x278, 0x378, 0x3bc or one listed in /proc/sys/dev/parport), "
     "so nothing real is written there"},
    {PortFault::NoKernelParport,
     "no parport has this base address: load the driver (sudo modprobe parport_pc) "
     "or pick the base your card uses (cat /proc/sys/dev/parport/parport*/base-addr)"},
    {PortFault::NoDeviceNode, "no device node: load ppdev (sudo modprobe ppdev)"},
    {PortFault::AccessDenied,
     "permission denied: add yourself to group lp (sudo usermod -aG lp $USER) and log in again"},
    {PortFault::PortUnavailable,
     "no such port, or another program or driver holds it (see lsof /dev/parport*)"},
    {PortFault::Busy, "the port is claimed by another program: close it and start again"},
    {PortFault::ClaimTimedOut,
     "the port is held by another program or the printer driver and was not let go: "
     "close that program (see lsof /dev/parport*) or wait for the printing to end, "
     "and start again"},
    {PortFault::NotParportDevice, "not a parallel-port device: it does not accept the ppdev claim"},
    {PortFault::NoIoPrivilege, "direct port I/O needs root (CAP_SYS_RAWIO); use ppdev instead"},
    {PortFault::NoPortIo, "direct port I/O is not available on this system"},
    {PortFault::TooManyRoutes, "too many real ports in use at once"},
    {PortFault::NoUsb, "libusb could not start: this system gives no USB access"},
    {PortFault::NoAdapter,
     "not found: plug the adapter in and check that lsusb lists it (0403:6001 or 0403:6014)"},
    {PortFault::AdapterDenied,
     "libusb could not open it, most often for want of permission: install the package's udev "
     "rule (60-quarnet-ftdi.rules), which gives it to the user at the machine's seat, and replug "
     "the adapter"},
    {PortFault::AdapterHeld,
     "another program holds it through libusb (another Quarnet, OpenOCD, avrdude, a libftdi "
     "tool): close that program"},
    {PortFault::Unplugged, "the adapter was unplugged or stopped answering"},
    {PortFault::NoChip, "no GPIO chip %1 on this machine (ls /dev/gpiochip* lists those there are)"},
    {PortFault::NotAChip, "%1 is not a GPIO chip (ls /dev/gpiochip* lists those there are)"},
    {PortFault::ChipDenied,
     "permission denied on %1: on Raspberry Pi OS join group gpio (sudo usermod -aG gpio "
     "$USER) and log in again; on Debian give the chip to the user at the seat with a udev "
     "rule (docs/hardware.md in the source, GPIO lines without root)"},
    {PortFault::LinesHeld, "a line on %1 is held by another program or driver"},
    // What these say depends on what was found: the finder's own text.
    {PortFault::NotAnAdapter, ""},
    {PortFault::SeveralAdapters, ""},
    {PortFault::Other, ""},
}};

} // namespace

PortFault portFaultFrom(PortStep step, int code)
{
    for (const CodeFault &entry : CodeFaults) {
        if (entry.step == step && entry.code == code)
            return entry.fault;
    }
    return PortFault::Other;
}

QString portFaultAdvice(PortFault fault, const QString &device)
{
    for (const FaultAdvice &entry : Advice) {
        if (entry.fault != fault)
            continue;
        const QString advice = QString::fromUtf8(entry.advice);
        return advice.contains(QLatin1String("%1")) ? advice.arg(device) : advice;
    }
    return {};
}

PortError portError(PortStep step, int code, const QString &device, const QString &systemText)
{
    const PortFault fault = portFaultFrom(step, code);
    QString text = portFaultAdvice(fault, device);
    if (text.isEmpty())
        text = systemText.isEmpty() ? QString::fromLocal8Bit(std::strerror(code)) : systemText;
    return {fault, code, text};
}

PortError portError(PortFault fault, const QString &text)
{
    return {fault, 0, text.isEmpty() ? portFaultAdvice(fault) : text};
}
