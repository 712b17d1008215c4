#pragma once

#include <QByteArray>
#include <QProcessEnvironment>

// Native Wayland clients can neither place their windows nor learn where
// they are: the start-up window would not be centred and the live view
// could not follow the main window. Where the session also runs Xwayland
// and the user chose no platform, the tool asks Qt for X11 through it,
// where both work on every compositor. Empty: leave Qt's choice alone.
QByteArray windowSystemFor(const QProcessEnvironment &environment);
