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

private:
    QString m_procRoot;
};
