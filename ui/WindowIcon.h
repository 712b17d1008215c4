#pragma once

#include <QIcon>

// The main window's icon: a stepper motor seen from the front with its four
// coloured leads, 32 x 32 pixels in 24-bit colour, with larger renderings for
// high-resolution screens.
namespace WindowIcon {

QImage image();
QIcon icon();

} // namespace WindowIcon
