#include "ftdi/SerialPortUse.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sys/stat.h>
#include <sys/sysmacros.h>
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

// What a port is, whatever path reaches it: a program in a container or a
// chroot shows the port in /proc by the path it opened, not ours, but it is
// the same device (or, in a test's tree, the same file).
struct NodeIdentity
{
    bool isDevice = false;
    dev_t device = 0; // the device number, or the file system of a plain file
    ino_t inode = 0;

    static NodeIdentity of(const QString &path)
    {
        struct stat st{};
        if (::stat(QFile::encodeName(path).constData(), &st) != 0)
            return {};
        if (S_ISCHR(st.st_mode))
            return {true, st.st_rdev, 0};
        return {false, st.st_dev, st.st_ino};
    }
    bool known() const { return isDevice || inode != 0; }
    bool operator==(const NodeIdentity &) const = default;
};

// The tty's device number as its driver registered it ("188:0"), for when
// this root's /dev has no node for it.
NodeIdentity sysfsIdentity(const QString &ttyFolder, const QString &name)
{
    const QList<QByteArray> numbers = readSmall(ttyFolder + QStringLiteral("/tty/") + name + QStringLiteral("/dev")).split(':');
    bool majorOk = false, minorOk = false;
    if (numbers.size() != 2)
        return {};
    const unsigned major = numbers[0].toUInt(&majorOk), minor = numbers[1].toUInt(&minorOk);
    if (!majorOk || !minorOk)
        return {};
    return {true, makedev(major, minor), 0};
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
    QList<NodeIdentity> identities;
    for (const QString &interface : folder.entryList({QFileInfo(device).fileName() + QStringLiteral(":*")}, QDir::Dirs)) {
        const QDir interfaceFolder(folder.filePath(interface));
        for (const QString &tty : interfaceFolder.entryList({QStringLiteral("tty*")}, QDir::Dirs)) {
            names << tty;
            NodeIdentity identity = NodeIdentity::of(roots.dev + QLatin1Char('/') + tty);
            if (!identity.known())
                identity = sysfsIdentity(interfaceFolder.filePath(tty), tty);
            identities << identity;
        }
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
            // The link's text names the port as its holder sees it, so only
            // its last part must be the tty's; stat then follows it to what
            // is open without opening anything. Nothing else is stat'ed: a
            // file on a network file system that stopped answering would
            // hold the start for good.
            const QString target = QFileInfo(fdDir.filePath(fd)).symLinkTarget();
            if (!names.contains(target.section(QLatin1Char('/'), -1)))
                continue;
            const NodeIdentity open = NodeIdentity::of(fdDir.filePath(fd));
            const qsizetype port = open.known() ? identities.indexOf(open) : -1;
            if (port < 0)
                continue;
            const QString program = QString::fromLocal8Bit(readSmall(proc.filePath(pid + QStringLiteral("/comm"))));
            use.holders << QStringLiteral("%1 (pid %2) has %3 open").arg(program, pid, use.ports.at(port));
            break;
        }
    }
    return use;
}
