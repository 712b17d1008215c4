#pragma once

#include "FtdiLibrary.h"
#include "PortBackend.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <csignal>
#include <functional>

// Why the USB adapter could not be used; each carries advice a user can act on.
enum class FtdiFault {
    None,
    NoUsb,         // libusb could not start: no USB access at all here
    NoAdapter,     // nothing with the ids, or nothing at the named place
    AccessDenied,  // the device node refused us: udev rule and group
    DriverHeld,    // ftdi_sio or another program keeps the interface
    Unplugged,     // a write failed after opening: the adapter went away
    Other,         // libftdi's own text says it
};

// The step at which libftdi answered; the same code means different things
// at different steps.
enum class FtdiStep { Open, Setup };

FtdiFault ftdiFaultFrom(FtdiStep step, int code, const char *libraryText);
QString ftdiFaultAdvice(FtdiFault fault);

// True for libftdi's device strings: d:BUS/DEV, i:VID:PID, i:VID:PID:INDEX,
// s:VID:PID:SERIAL, numbers in C notation (decimal, 0x hex, 0 octal).
bool isFtdiDeviceString(QByteArrayView text);

// An FT232R or FT232H in asynchronous bit-bang mode: the byte written is
// the eight pins D0..D7, bit n on pin Dn, exactly like the data register of
// a parallel port. One adapter stands in for every parallel-port base.
class FtdiPort final : public PortBackend
{
public:
    using LibraryFactory = std::function<std::unique_ptr<FtdiLibrary>()>;

    struct Opening
    {
        std::unique_ptr<PortBackend> backend;
        FtdiFault fault = FtdiFault::None;
        QString text; // what was tried and what to do, for the user
    };

    // `device` empty: the first FT232R, else the first FT232H.
    static Opening open(const QByteArray &device, const LibraryFactory &factory);

    ~FtdiPort() override;
    // A failed transfer marks the adapter gone; nothing is retried.
    void write(std::uint16_t port, std::uint8_t value) override;
    // Writes 0 and gives the adapter back. libusb takes locks and frees
    // memory, so unlike the other routes this is not async-signal-safe: it
    // relies on every exit path of the tool running on the UI thread (the
    // signal handlers only wake it through a pipe). Entered from a handler
    // that interrupted a write, it does nothing rather than deadlock.
    void release() noexcept override;
    QString goneReason() const override;

private:
    FtdiPort(std::unique_ptr<FtdiLibrary> library, QString name);

    std::unique_ptr<FtdiLibrary> m_library;
    QString m_name;
    QString m_failure;
    bool m_open = true;
    // Set around each write: a release that finds it set interrupted that
    // write from a signal handler and must not re-enter libusb.
    volatile std::sig_atomic_t m_writing = 0;
};
