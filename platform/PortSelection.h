#pragma once

#include "PortBackend.h"

#include <QString>
#include <memory>

enum class PortRoute { Ppdev, Direct, Virtual, Gpio };

// What `PortSelector` chose for one port, and why, in words a user reads.
struct PortSelection
{
    std::unique_ptr<PortBackend> backend; // none for the shared virtual port
    PortRoute route = PortRoute::Virtual;
    QString reason;
    // A real route was wanted but is missing or refused: the user is told once.
    bool refused = false;
};
