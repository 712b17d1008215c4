#pragma once

#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>
#include <span>

// The calls the GPIO route makes into a GPIO library, for one chip and one
// request of lines. Each library version is one implementation of this; the
// tests put a recording fake in its place. Failures are errno values (0 for
// success), as the kernel reports them through the library.
class GpioLibrary
{
public:
    virtual ~GpioLibrary() = default;

    // `chip` as the user wrote it: a name under /dev, a path or a number.
    virtual int openChip(const QByteArray &chip) = 0;
    virtual unsigned lineCount() const = 0;

    // Who holds the line now, as the kernel names the consumer (empty when
    // the holder gave no name); no value when the line is free.
    virtual std::optional<QString> holderOf(unsigned offset) = 0;

    // Takes the lines as outputs, all driven low from the first moment.
    virtual int requestOutputs(std::span<const unsigned> offsets, const char *consumer) = 0;

    // One value per requested line, in request order, set in a single call.
    // Runs once per motor step and on the way to _exit: no allocation,
    // nothing but the one ioctl, so it is async-signal-safe.
    virtual bool setValues(std::span<const int> values) noexcept = 0;

    // Hands the lines and the chip back. Frees the library's bookkeeping,
    // so it is not for a signal's context. Idempotent.
    virtual void release() noexcept = 0;
};

// The Debian 12 library: libgpiod 1.6.
std::unique_ptr<GpioLibrary> makeLibgpiod1();
