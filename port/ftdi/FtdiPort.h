#pragma once

#include "ftdi/FtdiDevice.h"
#include "ftdi/FtdiLibrary.h"
#include "PortBackend.h"
#include "ftdi/SerialPortUse.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <csignal>
#include <cstdint>
#include <functional>

// Where each bit of the byte the drive writes goes on the adapter, in
// bit-bang mode: pin n is Dn (FT232R) or ADn (FT232H). The four phase bits
// go to the pins that are inputs while the chip is in serial mode (RXD,
// CTS#, DSR#, RI#), so that no winding is powered from plug-in until the
// route opens the chip, nor after a reset or a replug; bit 6 goes to DCD#,
// an input too. TXD (D0), RTS# (D2) and DTR# (D4), outputs in serial mode,
// stay inputs here as well.
struct FtdiPin
{
    std::uint8_t bit; // of the drive's byte
    std::uint8_t pin; // Dn
};

inline constexpr std::array<FtdiPin, 5> FtdiPins{{{0, 1}, {1, 3}, {2, 5}, {3, 7}, {6, 6}}};

// The pins bit-bang mode makes outputs (ftdi_set_bitmode's mask): exactly
// those a bit goes to.
constexpr std::uint8_t ftdiOutputPins()
{
    std::uint8_t mask = 0;
    for (const FtdiPin &pin : FtdiPins)
        mask = static_cast<std::uint8_t>(mask | (1u << pin.pin));
    return mask;
}

// The pins' byte for the drive's byte; bits 4, 5 and 7 have no pin.
constexpr std::uint8_t ftdiPinsOf(std::uint8_t driveByte)
{
    std::uint8_t pins = 0;
    for (const FtdiPin &pin : FtdiPins) {
        if (driveByte & (1u << pin.bit))
            pins = static_cast<std::uint8_t>(pins | (1u << pin.pin));
    }
    return pins;
}

// An FT232R or FT232H in asynchronous bit-bang mode standing in for the
// parallel port's data register, through the pin table above. One adapter
// stands in for every parallel-port base.
class FtdiPort final : public PortBackend
{
public:
    using LibraryFactory = std::function<std::unique_ptr<FtdiLibrary>()>;

    // How long libftdi waits for any transfer: a stalled adapter holds the
    // window's thread no longer than this, in a step or on the way out.
    static constexpr int WriteTimeoutMs = 100;

    // `device` empty: the one FT232R or FT232H plugged in. An adapter whose
    // serial port a program has open is never taken; one whose use cannot
    // be seen whole is taken only when named.
    static PortOpening open(const QByteArray &device, const LibraryFactory &factory,
                        const SerialPortRoots &roots = {});

    ~FtdiPort() override;
    // A failed or timed-out transfer marks the adapter gone; nothing is retried.
    void write(std::uint16_t port, std::uint8_t value) override;
    // Writes 0 and gives the adapter back. libusb takes locks and frees
    // memory, so unlike the other routes this is not async-signal-safe: it
    // relies on every exit path of the tool running on the UI thread (the
    // signal handlers only wake it through a pipe). Entered from a handler
    // that interrupted a write, it does nothing rather than deadlock.
    void release() noexcept override;
    QString goneReason() const override;
    GuardHandle guardHandle() const override;
    void retryOff(std::uint8_t off) noexcept override;

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
