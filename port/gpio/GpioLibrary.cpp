#include "gpio/GpioLibrary.h"

#include <cerrno>
#include <climits>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

// The kernel puts every GPIO chip's character device on the "gpio" bus:
// /sys/dev/char/MAJOR:MINOR/subsystem links to .../bus/gpio.
int GpioLibrary::checkChip(const QByteArray &path) const
{
    struct stat node = {};
    if (::stat(path.constData(), &node) != 0)
        return errno == ENOENT ? ENOENT : errno;
    if (!S_ISCHR(node.st_mode))
        return ENOTTY;
    const QByteArray subsystem = QByteArrayLiteral("/sys/dev/char/") + QByteArray::number(major(node.st_rdev))
        + ':' + QByteArray::number(minor(node.st_rdev)) + QByteArrayLiteral("/subsystem");
    char target[PATH_MAX];
    const ssize_t length = ::readlink(subsystem.constData(), target, sizeof target - 1);
    if (length <= 0 || !QByteArray(target, length).endsWith("/bus/gpio"))
        return ENOTTY;
    return 0;
}
