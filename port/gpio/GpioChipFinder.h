#pragma once

#include "gpio/GpioLibrary.h"
#include "gpio/GpioLineSet.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <array>
#include <span>

// Finds chips and lines through a GpioLibrary, which opens paths only: the
// chip as a user names it, and lines by their names on whichever chip has
// them. Every chip is a gpiochip* node in the device folder.
class GpioChipFinder
{
public:
    GpioChipFinder(GpioLibrary &library, QString devRoot);

    // Opens the chip named by its number, its node's name gpiochipN or its
    // label; only gpiochip* nodes that are GPIO chips are ever opened, so
    // no name reaches another kind of device. 0, the chip left open in the
    // library; or the errno that stopped it.
    int open(const QString &chip);

    struct Found
    {
        QByteArray path;
        QString chip; // its node's name, "gpiochip0"
        std::array<unsigned, GpioLineSet::MaxLines> offsets{};
        QString problem; // why the names name no lines of one chip
    };
    // Reads every chip's line names; leaves no chip open.
    Found findNamed(std::span<const QString> names);

private:
    struct ChipLines;
    QStringList chipNames() const;
    QByteArray pathOf(const QString &name) const;
    int openChecked(const QString &name);
    ChipLines readChip(const QString &name);

    GpioLibrary &m_library;
    QString m_devRoot;
};
