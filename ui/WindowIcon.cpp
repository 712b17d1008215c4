#include "WindowIcon.h"

// The window shows the very icon the desktop installs for the menu entry
// (packaging/icons, drawn by scripts/make_icons.py); ui is a static library,
// so its resources are registered by hand before first use.
static void initIconResources()
{
    Q_INIT_RESOURCE(icons);
}

namespace WindowIcon {

QImage image()
{
    initIconResources();
    return QImage(QStringLiteral(":/icons/quarnet-32.png"));
}

QIcon icon()
{
    initIconResources();
    QIcon icon;
    for (const char *size : {"32", "48", "64", "128", "256"})
        icon.addFile(QStringLiteral(":/icons/quarnet-%1.png").arg(QLatin1String(size)));
    return icon;
}

} // namespace WindowIcon
