#pragma once

#include <QByteArray>
#include <memory>
#include <span>

// What the kernel tells of a chip and of one of its lines.
struct GpioChipInfo
{
    QByteArray label; // "unknown" when the device gave none, as libgpiod says
    unsigned lineCount = 0;
};

struct GpioLineInfo
{
    QByteArray name; // empty: the line has no name
    bool used = false;
    // Who holds a used line; empty when the holder gave no name (a line
    // muxed away from GPIO, or used as an interrupt, say).
    QByteArray consumer;
};

// The calls the GPIO route makes into a GPIO library, for one chip and one
// request of lines at a time. Each major version of libgpiod is one
// implementation; the tests put a recording fake in its place. Failures
// are errno values (0 for success), as the kernel or the library gives
// them. Before a chip is open and after release, every call but openChip
// is refused: EBADF, or EPERM for setting lines that are not requested
// (what libgpiod 1 itself answers).
class GpioLibrary
{
public:
    virtual ~GpioLibrary() = default;

    // 0 when `path` is a character device of the kernel's GPIO subsystem,
    // found without opening it: ENOENT when there is nothing, ENOTTY for
    // anything else. libgpiod 1 opens a path read-write before it checks,
    // and opening a serial port alone raises DTR (which resets an Arduino),
    // a watchdog's arms it: nothing is opened before this said yes.
    virtual int checkChip(const QByteArray &path) const;

    // A path only: finding a chip by name, number or label is the caller's.
    // EBUSY while a chip is open.
    virtual int openChip(const QByteArray &path) = 0;
    virtual int chipInfo(GpioChipInfo &info) = 0;
    // EINVAL for an offset the chip lacks.
    virtual int lineInfo(unsigned offset, GpioLineInfo &info) = 0;

    // Takes the lines as outputs, all driven low from the first moment.
    // EBUSY when one is held, by anyone, this request too: nothing is
    // ever taken over.
    virtual int requestOutputs(std::span<const unsigned> offsets, const char *consumer) = 0;

    // One value per requested line, in request order, set in a single call.
    // Runs once per motor step and on the way to _exit: no allocation,
    // nothing but the one ioctl, so it is async-signal-safe.
    virtual int setValues(std::span<const int> values) noexcept = 0;

    // Hands the lines and the chip back, after which openChip may open
    // another. Frees the library's bookkeeping, so it is not for a signal's
    // context. Idempotent.
    virtual void release() noexcept = 0;
};

// The libgpiod this was configured with: 1.6 on Debian 12, 2.x on Debian 13.
std::unique_ptr<GpioLibrary> makeLibgpiod();
