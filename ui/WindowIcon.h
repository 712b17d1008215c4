#pragma once

#include <QIcon>

// The main window's icon: a 32 x 32 drawing of a stepper motor seen from the
// front, its four coloured leads fanning out to the left.
namespace WindowIcon {

QImage image();
QIcon icon();

} // namespace WindowIcon
