#include "PortFault.h"

#include <array>
#include <cerrno>

namespace {

struct ErrnoFault
{
    PortStep step;
    int error;
    PortFault fault;
};

constexpr std::array<ErrnoFault, 13> ErrnoFaults{{
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
}};

struct FaultAdvice
{
    PortFault fault;
    const char *advice;
};

constexpr std::array<FaultAdvice, 12> Advice{{
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
    {PortFault::Other, ""},
}};

} // namespace

PortFault portFaultFromErrno(PortStep step, int error)
{
    for (const ErrnoFault &entry : ErrnoFaults) {
        if (entry.step == step && entry.error == error)
            return entry.fault;
    }
    return PortFault::Other;
}

QString portFaultAdvice(PortFault fault)
{
    for (const FaultAdvice &entry : Advice) {
        if (entry.fault == fault)
            return QString::fromUtf8(entry.advice);
    }
    return {};
}
