#pragma once

#include <QString>

// Why a real route to a port could not be used. Each value carries advice
// a user can act on; the selection line on stderr is built from it.
enum class PortFault {
    None,
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
    Other,
};

// The step of opening a route at which an errno was returned; the same
// errno means different things at different steps (ENXIO at open or claim,
// EPERM for a file or for ioperm).
enum class PortStep { Open, Claim, IoPermission };

PortFault portFaultFromErrno(PortStep step, int error);

// What the user can do about the fault, or an empty text when nothing
// better than the system's own error text can be said.
QString portFaultAdvice(PortFault fault);
