#include "PortKernelList.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <array>

namespace {

constexpr std::array<std::uint16_t, 3> LegacyBases{0x278, 0x378, 0x3BC};

// base-addr is a few dozen bytes; a larger file is not the kernel's.
constexpr qint64 MaxBaseAddrSize = 256;

} // namespace

PortKernelList::PortKernelList(QString procRoot)
    : m_procRoot(std::move(procRoot))
{
}

QString PortKernelList::directory() const
{
    return m_procRoot + QStringLiteral("/sys/dev/parport");
}

QList<KernelParport> PortKernelList::scan() const
{
    static const QRegularExpression name(QStringLiteral("^parport(\\d+)$"));
    QList<KernelParport> found;
    const QDir dir(directory());
    for (const QString &entry : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        const QRegularExpressionMatch match = name.match(entry);
        if (!match.hasMatch())
            continue;
        QFile file(dir.filePath(entry + QStringLiteral("/base-addr")));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const std::optional<std::uint16_t> base = parseBaseAddr(file.read(MaxBaseAddrSize));
        if (base)
            found.append({match.captured(1).toInt(), *base});
    }
    return found;
}

std::optional<std::uint16_t> PortKernelList::parseBaseAddr(QByteArrayView text)
{
    const QByteArray first = text.toByteArray().simplified().split(' ').value(0);
    if (first.isEmpty())
        return std::nullopt;
    for (char c : first) {
        if (c < '0' || c > '9')
            return std::nullopt;
    }
    bool ok = false;
    const uint value = first.toUInt(&ok, 10);
    if (!ok || value == 0 || value > 0xFFFF)
        return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

QString PortKernelList::ioportHolder(std::uint16_t port) const
{
    QFile file(m_procRoot + QStringLiteral("/ioports"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return ioportHolderIn(file.read(1 << 20), port);
}

QString PortKernelList::ioportHolderIn(QByteArrayView ioports, std::uint16_t port)
{
    // "  0378-037a : parport0": deeper entries lie inside the ones above them.
    static const QRegularExpression entry(QStringLiteral("^( *)([0-9a-fA-F]+)-([0-9a-fA-F]+) : (.+)$"));
    static const QRegularExpression reservation(QStringLiteral("^(PCI Bus .*|[0-9a-fA-F]{2}:[0-9a-fA-F]{2}|[A-Z]{3}[0-9A-F]{4}:[0-9]+)$"));
    QString holder;
    qsizetype depth = -1;
    for (const QByteArray &line : ioports.toByteArray().split('\n')) {
        const QRegularExpressionMatch match = entry.match(QString::fromUtf8(line));
        if (!match.hasMatch())
            continue;
        const uint start = match.captured(2).toUInt(nullptr, 16);
        const uint end = match.captured(3).toUInt(nullptr, 16);
        const QString name = match.captured(4).trimmed();
        if (start > port || end < port || reservation.match(name).hasMatch())
            continue;
        if (match.capturedLength(1) > depth) {
            depth = match.capturedLength(1);
            holder = name;
        }
    }
    return holder;
}

QString PortKernelList::activeClaimant(int index) const
{
    QFile file(directory() + QStringLiteral("/parport%1/devices/active").arg(index));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QString active = QString::fromUtf8(file.read(256)).trimmed();
    return active == QLatin1String("none") ? QString() : active;
}

QList<std::uint16_t> PortKernelList::legacyBases()
{
    return {LegacyBases.begin(), LegacyBases.end()};
}

bool PortKernelList::isParallelBase(std::uint16_t port, const QList<KernelParport> &listed)
{
    for (std::uint16_t base : LegacyBases) {
        if (port == base)
            return true;
    }
    for (const KernelParport &parport : listed) {
        if (parport.base == port)
            return true;
    }
    return false;
}
