#pragma once

#include "ftdi/FtdiLibrary.h"
#include "PortError.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <cstdint>
#include <optional>

// A chip the route drives, known by its ids and by the release number FTDI
// gives each chip type (libftdi reads the type from it the same way).
struct FtdiChip
{
    std::uint16_t product;
    std::uint16_t release;
    const char *name;
};

// None for any other device, FTDI's older or wider chips included.
const FtdiChip *ftdiChipOf(const FtdiUsbDevice &device);

// libftdi's device strings, read as ftdi_usb_open_string reads them: d:BUS/DEV
// (decimal, as lsusb prints them), i:VID:PID, i:VID:PID:INDEX and
// s:VID:PID:SERIAL (numbers in C notation: decimal, 0x hex, 0 octal; the
// serial is the rest, colons included).
struct FtdiDeviceString
{
    enum class Kind { First, BusDevice, Ids, Serial } kind = Kind::First;
    unsigned bus = 0;
    unsigned address = 0;
    unsigned vendor = 0;
    unsigned product = 0;
    unsigned index = 0;
    QByteArray serial;
};

// Empty text is `First`; none for text that is no device string.
std::optional<FtdiDeviceString> parseFtdiDeviceString(QByteArrayView text);
bool isFtdiDeviceString(QByteArrayView text);

// Which listed device a device string names, decided from the descriptors
// alone: a device that is no FT232R or FT232H is refused before anything
// opens it, and only those two chips are opened to read their serials.
struct FtdiPick
{
    int index = -1; // in the library's list; -1: refused
    QString name;   // "USB adapter FT232R (0403:6001) at 001/004"
    PortError error; // for a refusal: what is there and what to do
    std::uint8_t bus = 0; // where the chosen one is
    std::uint8_t address = 0;
};

FtdiPick pickFtdiDevice(FtdiLibrary &library, const FtdiDeviceString &wanted);
