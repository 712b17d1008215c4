#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <cstdint>
#include <optional>

// One parallel port the kernel knows: /proc/sys/dev/parport/parport<index>.
struct KernelParport
{
    int index;
    std::uint16_t base;
};

// The parallel ports the kernel lists under <procRoot>/sys/dev/parport. The
// root is a parameter so tests can lay out a fake tree.
class PortKernelList
{
public:
    explicit PortKernelList(QString procRoot);

    // Scans the directory afresh: only ever done the first time a port is used.
    QList<KernelParport> scan() const;

    QString directory() const;

    // base-addr holds the base and the ECR/high address in decimal, separated
    // by a tab ("888\t1912"); only the first number is the data register.
    static std::optional<std::uint16_t> parseBaseAddr(QByteArrayView text);

    // The legacy ISA bases, plus whatever the kernel lists (PCI and PCIe cards
    // sit elsewhere). Nothing else may ever be written on real hardware.
    static bool isParallelBase(std::uint16_t port, const QList<KernelParport> &listed);
    static QList<std::uint16_t> legacyBases();

    // The driver whose I/O range, in <procRoot>/ioports, takes in `port`
    // ("parport0"); empty when none does. Buses and bare device ids only
    // reserve a range, they do not drive it. Root sees the real ranges;
    // others see zeros, and direct I/O is root's anyway.
    QString ioportHolder(std::uint16_t port) const;
    static QString ioportHolderIn(QByteArrayView ioports, std::uint16_t port);
    // Who holds parport<index> now, from its devices/active; empty for "none".
    QString activeClaimant(int index) const;

private:
    QString m_procRoot;
};
