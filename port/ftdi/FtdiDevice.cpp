#include "ftdi/FtdiDevice.h"

#include <QList>
#include <QStringList>
#include <array>

namespace {

constexpr std::uint16_t FtdiVendor = 0x0403;

// FT232R: 0403:6001 at release 6.00; the same ids at 2.00 or 4.00 are the
// older AM and BM chips. FT232H: 0403:6014 at release 9.00.
constexpr std::array<FtdiChip, 2> Chips{{{0x6001, 0x0600, "FT232R"}, {0x6014, 0x0900, "FT232H"}}};

constexpr const char *Wanted =
    "no FT232R (0403:6001, release 6.00) or FT232H (0403:6014, release 9.00)";

bool isNumber(const QByteArray &text, uint max, int base = 0)
{
    bool ok = false;
    const uint value = text.toUInt(&ok, base);
    return ok && value <= max;
}

bool isDecimal(const QByteArray &text)
{
    if (text.isEmpty())
        return false;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return isNumber(text, 255, 10);
}

QString hex4(unsigned value)
{
    return QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0'));
}

QString place(const FtdiUsbDevice &device)
{
    return QStringLiteral("%1/%2")
        .arg(device.bus, 3, 10, QLatin1Char('0'))
        .arg(device.address, 3, 10, QLatin1Char('0'));
}

// "046d:c52b, release 12.03": all a descriptor says without opening the device.
QString identity(const FtdiUsbDevice &device)
{
    return QStringLiteral("%1:%2, release %3.%4")
        .arg(hex4(device.vendor), hex4(device.product))
        .arg(device.release >> 8, 0, 16)
        .arg(device.release & 0xFF, 2, 16, QLatin1Char('0'));
}

FtdiPick refused(PortFault fault, const QString &text, int code = 0)
{
    return {-1, {}, {fault, code, text}};
}

FtdiPick notOurs(const FtdiUsbDevice &device)
{
    return refused(PortFault::NotAnAdapter,
                   QStringLiteral("%1 is %2, %3: it was left alone")
                       .arg(place(device), identity(device), QLatin1String(Wanted)));
}

FtdiPick chosen(int index, const FtdiUsbDevice &device)
{
    const FtdiChip *chip = ftdiChipOf(device);
    return {index,
            QStringLiteral("USB adapter %1 (0403:%2) at %3")
                .arg(QLatin1String(chip->name), hex4(chip->product), place(device)),
            {},
            device.bus,
            device.address};
}

// FTDI's other chips on the bus, for a "not found" that would otherwise
// leave the user wondering why the one they see in lsusb is not taken.
QString othersOfFtdi(const QList<FtdiUsbDevice> &devices)
{
    QStringList others;
    for (const FtdiUsbDevice &device : devices) {
        if (device.vendor == FtdiVendor && !ftdiChipOf(device))
            others << place(device) + QStringLiteral(" (") + identity(device) + QLatin1Char(')');
    }
    if (others.isEmpty())
        return {};
    return QStringLiteral("; FTDI devices this route does not drive: ") + others.join(QStringLiteral(", "));
}

FtdiPick notFound(const QList<FtdiUsbDevice> &devices, const QString &more = {})
{
    return refused(PortFault::NoAdapter,
                   portFaultAdvice(PortFault::NoAdapter) + more + othersOfFtdi(devices));
}

FtdiPick stringsFailed(FtdiLibrary &library, int code, const FtdiUsbDevice &device)
{
    const PortFault fault = portFaultFrom(PortStep::UsbStrings, code);
    const QString advice = portFaultAdvice(fault);
    return refused(fault, QStringLiteral("its serial could not be read at %1 (%2)%3")
                              .arg(place(device), QString::fromLocal8Bit(library.errorString()),
                                   advice.isEmpty() ? QString() : QStringLiteral(": ") + advice),
                   code);
}

// Several adapters and none named: each with what tells it apart, and the
// form that names it.
FtdiPick several(FtdiLibrary &library, const QList<FtdiUsbDevice> &devices, const QList<int> &candidates)
{
    QStringList listed;
    for (int index : candidates) {
        const FtdiUsbDevice &device = devices[index];
        QByteArray description;
        QByteArray serial;
        const QString strings = library.readStrings(index, description, serial) == 0
            ? QStringLiteral("serial \"%1\", \"%2\"")
                  .arg(QString::fromLatin1(serial), QString::fromLatin1(description))
            : QStringLiteral("serial unreadable");
        listed << QStringLiteral("%1 %2, %3 (ftdi:d:%1)")
                      .arg(place(device), QLatin1String(ftdiChipOf(device)->name), strings);
    }
    return refused(PortFault::SeveralAdapters,
                   QStringLiteral("%1 adapters are plugged in and none was named: %2; name one as "
                                  "ftdi:d:BUS/DEV or ftdi:s:VID:PID:SERIAL")
                       .arg(candidates.size())
                       .arg(listed.join(QStringLiteral("; "))));
}

FtdiPick pickFirst(FtdiLibrary &library, const QList<FtdiUsbDevice> &devices)
{
    QList<int> candidates;
    for (int i = 0; i < devices.size(); ++i) {
        if (ftdiChipOf(devices[i]))
            candidates << i;
    }
    if (candidates.isEmpty())
        return notFound(devices);
    if (candidates.size() > 1)
        return several(library, devices, candidates);
    return chosen(candidates.first(), devices[candidates.first()]);
}

FtdiPick pickAt(const QList<FtdiUsbDevice> &devices, const FtdiDeviceString &wanted)
{
    for (int i = 0; i < devices.size(); ++i) {
        if (devices[i].bus == wanted.bus && devices[i].address == wanted.address)
            return ftdiChipOf(devices[i]) ? chosen(i, devices[i]) : notOurs(devices[i]);
    }
    return notFound(devices, QStringLiteral(" (nothing at %1/%2)")
                                 .arg(wanted.bus, 3, 10, QLatin1Char('0'))
                                 .arg(wanted.address, 3, 10, QLatin1Char('0')));
}

// As libftdi counts: the index-th device with these ids in the bus's order.
FtdiPick pickByIds(const QList<FtdiUsbDevice> &devices, const FtdiDeviceString &wanted)
{
    unsigned seen = 0;
    for (int i = 0; i < devices.size(); ++i) {
        if (devices[i].vendor != wanted.vendor || devices[i].product != wanted.product)
            continue;
        if (seen++ == wanted.index)
            return ftdiChipOf(devices[i]) ? chosen(i, devices[i]) : notOurs(devices[i]);
    }
    return notFound(devices, QStringLiteral(" (%1 with ids %2:%3)")
                                 .arg(seen == 0 ? QStringLiteral("none")
                                                : QStringLiteral("only %1").arg(seen),
                                      hex4(wanted.vendor), hex4(wanted.product)));
}

// Reading a serial opens the device, so only the two chips are asked.
FtdiPick pickBySerial(FtdiLibrary &library, const QList<FtdiUsbDevice> &devices,
                      const FtdiDeviceString &wanted)
{
    QStringList serials;
    const FtdiUsbDevice *leftAlone = nullptr;
    for (int i = 0; i < devices.size(); ++i) {
        const FtdiUsbDevice &device = devices[i];
        if (device.vendor != wanted.vendor || device.product != wanted.product)
            continue;
        if (!ftdiChipOf(device)) {
            leftAlone = leftAlone ? leftAlone : &device;
            continue;
        }
        QByteArray description;
        QByteArray serial;
        if (const int code = library.readStrings(i, description, serial); code < 0)
            return stringsFailed(library, code, device);
        if (serial == wanted.serial)
            return chosen(i, device);
        serials << QStringLiteral("\"%1\" at %2").arg(QString::fromLatin1(serial), place(device));
    }
    if (leftAlone && serials.isEmpty())
        return notOurs(*leftAlone);
    const QString there = serials.isEmpty()
        ? QString()
        : QStringLiteral(" (serials there: %1)").arg(serials.join(QStringLiteral(", ")));
    return notFound(devices, there);
}

} // namespace

const FtdiChip *ftdiChipOf(const FtdiUsbDevice &device)
{
    if (device.vendor != FtdiVendor)
        return nullptr;
    for (const FtdiChip &chip : Chips) {
        if (chip.product == device.product && chip.release == device.release)
            return &chip;
    }
    return nullptr;
}

std::optional<FtdiDeviceString> parseFtdiDeviceString(QByteArrayView text)
{
    FtdiDeviceString parsed;
    if (text.isEmpty())
        return parsed;
    if (text.size() < 3 || text[1] != ':')
        return std::nullopt;
    const QByteArray rest = text.sliced(2).toByteArray();
    const QList<QByteArray> parts = rest.split(text[0] == 'd' ? '/' : ':');
    switch (text[0]) {
    case 'd':
        if (parts.size() != 2 || !isDecimal(parts[0]) || !isDecimal(parts[1]))
            return std::nullopt;
        parsed.kind = FtdiDeviceString::Kind::BusDevice;
        parsed.bus = parts[0].toUInt(nullptr, 10);
        parsed.address = parts[1].toUInt(nullptr, 10);
        return parsed;
    case 'i':
        if ((parts.size() != 2 && parts.size() != 3) || !isNumber(parts[0], 0xFFFF)
            || !isNumber(parts[1], 0xFFFF) || (parts.size() == 3 && !isNumber(parts[2], 0xFFFF)))
            return std::nullopt;
        parsed.kind = FtdiDeviceString::Kind::Ids;
        parsed.index = parts.size() == 3 ? parts[2].toUInt(nullptr, 0) : 0;
        break;
    case 's':
        if (parts.size() < 3 || !isNumber(parts[0], 0xFFFF) || !isNumber(parts[1], 0xFFFF))
            return std::nullopt;
        parsed.kind = FtdiDeviceString::Kind::Serial;
        parsed.serial = rest.mid(parts[0].size() + parts[1].size() + 2);
        if (parsed.serial.isEmpty())
            return std::nullopt;
        break;
    default:
        return std::nullopt;
    }
    parsed.vendor = parts[0].toUInt(nullptr, 0);
    parsed.product = parts[1].toUInt(nullptr, 0);
    return parsed;
}

bool isFtdiDeviceString(QByteArrayView text)
{
    return !text.isEmpty() && parseFtdiDeviceString(text).has_value();
}

FtdiPick pickFtdiDevice(FtdiLibrary &library, const FtdiDeviceString &wanted)
{
    QList<FtdiUsbDevice> devices;
    if (const int code = library.listDevices(devices); code < 0) {
        return refused(PortFault::Other, QStringLiteral("the USB devices could not be listed (%1)")
                                             .arg(QString::fromLocal8Bit(library.errorString())));
    }
    switch (wanted.kind) {
    case FtdiDeviceString::Kind::BusDevice:
        return pickAt(devices, wanted);
    case FtdiDeviceString::Kind::Ids:
        return pickByIds(devices, wanted);
    case FtdiDeviceString::Kind::Serial:
        return pickBySerial(library, devices, wanted);
    case FtdiDeviceString::Kind::First:
        break;
    }
    return pickFirst(library, devices);
}
