#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

// Where the kernel shows an adapter's serial ports and who uses them; a
// test lays out a tree of its own.
struct SerialPortRoots
{
    QString sys = QStringLiteral("/sys");
    QString proc = QStringLiteral("/proc");
    QString dev = QStringLiteral("/dev");
    QString lock = QStringLiteral("/run/lock");
};

// What can be known, without opening them, of the serial ports the kernel's
// driver (ftdi_sio) made for the USB device at bus/address. libftdi unbinds
// that driver even while a port is open, and the program using it would
// then drive against the motor's pins: a port in use must not be taken.
struct SerialPortUse
{
    QStringList ports;     // "/dev/ttyUSB0", one per port the driver made
    QStringList holders;   // "picocom (pid 1234) has /dev/ttyUSB0 open"
    // Some process's descriptors could not be read: as an ordinary user,
    // another user's programs and the system's services are out of sight.
    bool someUnseen = false;

    static SerialPortUse of(std::uint8_t bus, std::uint8_t address, const SerialPortRoots &roots = {});
};
