#pragma once

#include <QByteArrayView>
#include <optional>

// Which route `PortAccess` may take to a port. `Auto` tries the real routes
// in order of least privilege needed (ppdev, then direct I/O) and falls back
// to the virtual port; the others force one route.
enum class PortMode { Auto, Ppdev, Direct, Virtual };

// Parses the value of QUARNET_PORT; an empty value means `Auto`, anything
// unknown gives no value so the caller can tell the user.
std::optional<PortMode> parsePortMode(QByteArrayView text);

const char *portModeName(PortMode mode);
