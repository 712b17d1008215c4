#pragma once

#include "PortBackend.h"

#include <QString>
#include <memory>

enum class PortRoute { Ppdev, Direct, Virtual, Ftdi, Gpio };

// What `PortSelector` chose for one port, and why, in words a user reads.
struct PortSelection
{
    // None for the virtual port, and for a real route whose one device is
    // already open for another port: that port's backend serves this one.
    std::unique_ptr<PortBackend> backend;
    PortRoute route = PortRoute::Virtual;
    QString reason;
    // A real route was wanted but is missing or refused: the user is told once.
    bool refused = false;
};
