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
