#include "WindowSystemChoice.h"

QByteArray windowSystemFor(const QProcessEnvironment &environment)
{
    const auto set = [&](const char *name) { return !environment.value(QLatin1String(name)).isEmpty(); };
    if (set("QT_QPA_PLATFORM") || !set("WAYLAND_DISPLAY") || !set("DISPLAY"))
        return {};
    return QByteArrayLiteral("xcb");
}
