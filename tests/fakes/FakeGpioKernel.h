#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QList>
#include <QStringList>
#include <cerrno>
#include <span>

// One GPIO chip as the kernel shows it, with the refusals a real one gives.
struct FakeGpioChip
{
    QByteArray name = "gpiochip0"; // its node in the device folder
    QByteArray label = "pinctrl-bcm2835";
    unsigned lineCount = 54;
    QHash<unsigned, QByteArray> lineNames;
    // Lines in use, by their consumer: "" for one the kernel holds with no
    // name (muxed to another function, or an interrupt).
    QHash<unsigned, QByteArray> holders;
    int openErrno = 0;    // open(2), or libgpiod's check of the node: EACCES, ENOTTY, ENODEV
    int requestErrno = 0; // the line request ioctl, after the look found the lines free
    int setErrno = 0;     // the set-values ioctl fails with this...
    int setsBeforeFailure = 0; // ...once this many went through (ENODEV: unplugged)
    int sets = 0;
};

// The kernel's side of every GPIO library fake: the chips, what reached
// them ("open gpiochip0", "request gpiochip0 17,18,27,22 as quarnet low",
// "set 1 0 0 0", "release gpiochip0 17,18,27,22", "close gpiochip0"), and
// how many descriptors and library objects are still open, so a test sees
// every way out hand everything back.
struct FakeGpioKernel
{
    QList<FakeGpioChip> chips{FakeGpioChip{}};
    QStringList log;
    int openDescriptors = 0;
    int liveObjects = 0;
    bool logSets = true; // off where a test counts allocations

    // Nodes in the device folder that are not GPIO chips, with what the
    // check of the node answers (ENOTTY): never to be opened.
    QHash<QByteArray, int> otherNodes;

    // Whether the node is a GPIO chip, by its name, as GpioLibrary::checkChip tells.
    int check(const QByteArray &path) const
    {
        const QByteArray name = path.mid(path.lastIndexOf('/') + 1);
        if (otherNodes.contains(name))
            return otherNodes.value(name);
        for (const FakeGpioChip &chip : chips) {
            if (chip.name == name)
                return 0;
        }
        return ENOENT;
    }

    // A chip is found by its node's name, whatever folder the path names.
    int open(const QByteArray &path, int &chip)
    {
        const QByteArray name = path.mid(path.lastIndexOf('/') + 1);
        log << QStringLiteral("open ") + QString::fromUtf8(name);
        for (chip = 0; chip < chips.size(); ++chip) {
            if (chips[chip].name == name) {
                if (chips[chip].openErrno)
                    return chips[chip].openErrno;
                ++openDescriptors;
                return 0;
            }
        }
        return ENOENT;
    }

    void close(int chip)
    {
        log << QStringLiteral("close ") + QString::fromUtf8(chips[chip].name);
        --openDescriptors;
    }

    int lineInfo(int chip, unsigned offset, QByteArray &name, bool &used, QByteArray &consumer) const
    {
        const FakeGpioChip &device = chips[chip];
        if (offset >= device.lineCount)
            return EINVAL;
        name = device.lineNames.value(offset);
        used = device.holders.contains(offset);
        consumer = device.holders.value(offset);
        return 0;
    }

    // As GPIO_V2_GET_LINE_IOCTL (and v1's GPIO_GET_LINEHANDLE_IOCTL) do:
    // EINVAL for an offset beyond the chip, EBUSY for a line in use.
    int request(int chip, std::span<const unsigned> offsets, const QByteArray &consumer,
                std::span<const int> initial)
    {
        FakeGpioChip &device = chips[chip];
        QStringList values;
        for (int value : initial)
            values << QString::number(value);
        const bool low = !values.join(QString()).contains(QLatin1Char('1'));
        log << QStringLiteral("request %1 %2 as %3 %4")
                   .arg(QString::fromUtf8(device.name), joined(offsets, ","), QString::fromUtf8(consumer),
                        low ? QStringLiteral("low") : values.join(QLatin1Char(' ')));
        for (unsigned offset : offsets) {
            if (offset >= device.lineCount)
                return EINVAL;
        }
        for (unsigned offset : offsets) {
            if (device.holders.contains(offset))
                return EBUSY;
        }
        if (device.requestErrno)
            return device.requestErrno;
        ++openDescriptors;
        for (unsigned offset : offsets)
            device.holders.insert(offset, consumer);
        return 0;
    }

    int set(int chip, std::span<const int> values)
    {
        FakeGpioChip &device = chips[chip];
        if (device.setErrno && device.sets >= device.setsBeforeFailure)
            return device.setErrno;
        ++device.sets;
        if (logSets)
            log << QStringLiteral("set ") + joined(values, " ");
        return 0;
    }

    void release(int chip, std::span<const unsigned> offsets)
    {
        FakeGpioChip &device = chips[chip];
        log << QStringLiteral("release %1 %2").arg(QString::fromUtf8(device.name), joined(offsets, ","));
        for (unsigned offset : offsets)
            device.holders.remove(offset);
        --openDescriptors;
    }

    // One file per chip in `devDir`, for whoever lists gpiochip* there.
    void layOut(const QString &devDir) const
    {
        QDir().mkpath(devDir);
        for (const FakeGpioChip &chip : chips) {
            QFile node(devDir + QLatin1Char('/') + QString::fromUtf8(chip.name));
            node.open(QIODevice::WriteOnly);
        }
        for (auto other = otherNodes.cbegin(); other != otherNodes.cend(); ++other) {
            QFile node(devDir + QLatin1Char('/') + QString::fromUtf8(other.key()));
            node.open(QIODevice::WriteOnly);
        }
    }

    static QString joined(auto values, const char *separator)
    {
        QStringList items;
        for (auto value : values)
            items << QString::number(value);
        return items.join(QLatin1String(separator));
    }
};
