#pragma once

#include "PortGuardian.h"

#include <QString>
#include <cstdint>

// The one private interface behind `PortAccess`. A real backend serves the
// single port it was opened for; the virtual one serves every port.
class PortBackend
{
public:
    virtual ~PortBackend() = default;

    // Runs once per motor step: no allocation, no logging, no file lookup.
    // A failed write is not reported, as the drive checks no result.
    virtual void write(std::uint16_t port, std::uint8_t value) = 0;

    // Gives the port back to the system. Called from the exit path just before
    // _exit, possibly from a signal's context: only async-signal-safe calls,
    // and a second call must do nothing.
    virtual void release() noexcept {}

    // A device that can vanish (a USB adapter pulled out) marks itself gone
    // after the write that failed; the caller then sends that write and all
    // later ones to the virtual port. A plain load, checked at every step.
    bool gone() const noexcept { return m_gone; }
    // What went wrong, for the one line the user is told.
    virtual QString goneReason() const { return {}; }
    // Once the device is gone: one more try to put `off` (the phase lines
    // off) on it, in case what failed was one write and not the device.
    virtual void retryOff(std::uint8_t) noexcept {}

    // What the guardian needs to switch this route off once the tool has
    // gone; Kind::None for a route it cannot reach. Cold: asked once.
    virtual GuardHandle guardHandle() const { return {}; }

protected:
    bool m_gone = false;
};

#include "PortError.h"

#include <memory>

// The outcome of opening a real route, whichever: a backend, or the error
// that stopped it.
struct PortOpening
{
    std::unique_ptr<PortBackend> backend;
    PortError error;
    // The device as the user's line names it, opened or refused ("USB
    // adapter FT232R (0403:6001) at 001/004"; for lines found by name, the
    // chip and offsets "gpiochip0:17,18,27,22"); empty where the caller
    // names it.
    QString name;
};
