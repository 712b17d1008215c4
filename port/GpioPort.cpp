#include "GpioPort.h"

#include <array>
#include <cerrno>
#include <cstring>

namespace {

constexpr char Consumer[] = "quarnet";

struct ErrnoAdvice
{
    int error;
    const char *advice; // %1: the chip as the user named it
};

constexpr std::array<ErrnoAdvice, 6> ChipAdvice{{
    {ENOENT, "no GPIO chip %1 on this machine (ls /dev/gpiochip* lists those there are)"},
    {ENODEV, "no GPIO chip %1 on this machine (ls /dev/gpiochip* lists those there are)"},
    {EACCES, "permission denied on %1: add yourself to group gpio (sudo usermod -aG gpio "
             "$USER) and log in again, or install a udev rule for /dev/gpiochip*"},
    {EPERM, "permission denied on %1: add yourself to group gpio (sudo usermod -aG gpio "
            "$USER) and log in again, or install a udev rule for /dev/gpiochip*"},
    {ENOTTY, "%1 is not a GPIO chip"},
    {EBUSY, "a line on %1 is held by another program or driver"},
}};

QString adviceFor(int error, const QString &chip)
{
    for (const ErrnoAdvice &entry : ChipAdvice) {
        if (entry.error == error)
            return QString::fromUtf8(entry.advice).arg(chip);
    }
    return chip + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error));
}

QString heldLine(unsigned offset, const QString &chip, const QString &holder)
{
    const QString who = holder.isEmpty() ? QStringLiteral("a driver or program that gives no name")
                                         : QLatin1Char('"') + holder + QLatin1Char('"');
    return QStringLiteral("line %1 of %2 is held by %3; it is not taken over "
                          "(gpioinfo %2 shows every holder)")
        .arg(offset)
        .arg(chip, who);
}

// Everything the device can refuse, asked in the order a user would fix it.
QString takeLines(const GpioLineSet &lineSet, GpioLibrary &library)
{
    if (const int error = library.openChip(lineSet.chip.toLocal8Bit()))
        return adviceFor(error, lineSet.chip);
    const unsigned available = library.lineCount();
    for (unsigned offset : lineSet.lines()) {
        if (offset >= available) {
            return QStringLiteral("%1 has no line %2 (its lines are 0 to %3)")
                .arg(lineSet.chip)
                .arg(offset)
                .arg(int(available) - 1);
        }
    }
    for (unsigned offset : lineSet.lines()) {
        if (const std::optional<QString> holder = library.holderOf(offset))
            return heldLine(offset, lineSet.chip, *holder);
    }
    if (const int error = library.requestOutputs(lineSet.lines(), Consumer))
        return adviceFor(error, lineSet.chip);
    return {};
}

} // namespace

GpioOpening GpioPort::open(const GpioLineSet &lineSet, std::unique_ptr<GpioLibrary> library)
{
    const QString problem = takeLines(lineSet, *library);
    if (!problem.isEmpty()) {
        library->release();
        return {nullptr, problem};
    }
    return {std::unique_ptr<PortBackend>(new GpioPort(lineSet, std::move(library))), {}};
}

GpioPort::GpioPort(const GpioLineSet &lineSet, std::unique_ptr<GpioLibrary> library)
    : m_library(std::move(library))
    , m_count(lineSet.count)
{
}

GpioPort::~GpioPort()
{
    release();
    m_library->release();
}

void GpioPort::write(std::uint16_t, std::uint8_t value)
{
    if (m_switchedOff)
        return;
    int values[GpioLineSet::MaxLines];
    for (int line = 0; line < m_count; ++line)
        values[line] = (value >> DataBits[line]) & 1;
    m_library->setValues({values, std::size_t(m_count)});
}

void GpioPort::release() noexcept
{
    // A released line keeps driving the level it had, so the windings are
    // switched off first, bit 6's line too. That one ioctl is all that is
    // safe here, as this may run on the way to _exit from a signal's
    // context. Handing the lines back frees libgpiod's memory, so it waits
    // for the destructor; when the process ends through _exit instead, the
    // kernel hands them back as it closes the descriptors.
    if (m_switchedOff)
        return;
    m_switchedOff = true;
    const int off[GpioLineSet::MaxLines] = {};
    m_library->setValues({off, std::size_t(m_count)});
}
