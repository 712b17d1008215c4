#include "ftdi/SerialPortUse.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <unistd.h>

namespace {

QByteArray readSmall(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(4096).trimmed();
}

// The device's folder under the USB bus, found by its bus and address.
QString usbDeviceFolder(std::uint8_t bus, std::uint8_t address, const QString &sys)
{
    const QDir devices(sys + QStringLiteral("/bus/usb/devices"));
    for (const QString &entry : devices.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString folder = devices.filePath(entry);
        if (readSmall(folder + QStringLiteral("/busnum")).toUInt() == bus
            && readSmall(folder + QStringLiteral("/devnum")).toUInt() == address)
            return folder;
    }
    return {};
}

} // namespace

SerialPortUse SerialPortUse::of(std::uint8_t bus, std::uint8_t address, const SerialPortRoots &roots)
{
    SerialPortUse use;
    const QString device = usbDeviceFolder(bus, address, roots.sys);
    if (device.isEmpty())
        return use;
    // The driver puts each port's tty under the interface it serves:
    // .../1-1/1-1:1.0/ttyUSB0.
    const QDir folder(device);
    QStringList names;
    for (const QString &interface : folder.entryList({QFileInfo(device).fileName() + QStringLiteral(":*")}, QDir::Dirs)) {
        for (const QString &tty : QDir(folder.filePath(interface)).entryList({QStringLiteral("tty*")}, QDir::Dirs))
            names << tty;
    }
    if (names.isEmpty())
        return use;
    for (const QString &name : std::as_const(names)) {
        use.ports << roots.dev + QLatin1Char('/') + name;
        // UUCP lock files, which serial terminals (minicom, picocom, cu) keep.
        const QString lock = roots.lock + QStringLiteral("/LCK..") + name;
        if (QFileInfo::exists(lock)) {
            use.holders << QStringLiteral("%1 is locked (%2, pid %3)")
                               .arg(use.ports.last(), lock, QString::fromLatin1(readSmall(lock)));
        }
    }

    const QString self = QString::number(::getpid());
    const QDir proc(roots.proc);
    for (const QString &pid : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool isPid = false;
        pid.toUInt(&isPid);
        if (!isPid || pid == self)
            continue;
        const QString fds = proc.filePath(pid + QStringLiteral("/fd"));
        QDir fdDir(fds);
        if (!fdDir.exists() || !fdDir.isReadable()) {
            // Gone since the listing, or closed to this user.
            if (QFileInfo::exists(proc.filePath(pid)))
                use.someUnseen = true;
            continue;
        }
        for (const QString &fd : fdDir.entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot)) {
            const QString target = QFileInfo(fdDir.filePath(fd)).symLinkTarget();
            if (!use.ports.contains(target))
                continue;
            const QString program = QString::fromLocal8Bit(readSmall(proc.filePath(pid + QStringLiteral("/comm"))));
            use.holders << QStringLiteral("%1 (pid %2) has %3 open").arg(program, pid, target);
            break;
        }
    }
    return use;
}
