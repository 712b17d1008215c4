#include "gpio/GpioPort.h"

#include "gpio/GpioChipFinder.h"

#include <array>
#include <cerrno>
#include <cstring>

namespace {

constexpr char Consumer[] = "quarnet";

// The system's own words name the chip too, where no advice does.
PortError chipError(int error, const QString &chip)
{
    return portError(PortStep::GpioChip, error, chip,
                     chip + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error)));
}

// The chip and offsets the lines turned out to be, and how to name a line.
struct Target
{
    QString chip;
    std::array<unsigned, GpioLineSet::MaxLines> offsets{};
    const GpioLineSet &lineSet;

    std::span<const unsigned> lines() const { return {offsets.data(), std::size_t(lineSet.count)}; }
    QString line(int index) const
    {
        return lineSet.byName() ? lineSet.names[index] : QString::number(offsets[index]);
    }
};

PortError heldLine(const Target &target, int index, const QByteArray &consumer)
{
    const QString who = consumer.isEmpty()
        ? QStringLiteral("a driver or program that gives no name")
        : QLatin1Char('"') + QString::fromUtf8(consumer) + QLatin1Char('"');
    return portError(PortFault::LinesHeld,
                     QStringLiteral("line %1 of %2 is held by %3; it is not taken over "
                                    "(gpioinfo %2 shows every holder)")
                         .arg(target.line(index), target.chip, who));
}

// Everything the device can refuse, asked in the order a user would fix it.
PortError checkAndRequest(const Target &target, GpioLibrary &library)
{
    GpioChipInfo chip;
    if (const int error = library.chipInfo(chip))
        return chipError(error, target.chip);
    for (unsigned offset : target.lines()) {
        if (offset >= chip.lineCount) {
            return portError(PortFault::LinesNotFound, QStringLiteral("%1 has no line %2 (its lines are 0 to %3)")
                                                           .arg(target.chip)
                                                           .arg(offset)
                                                           .arg(int(chip.lineCount) - 1));
        }
    }
    for (int index = 0; index < target.lineSet.count; ++index) {
        GpioLineInfo line;
        if (const int error = library.lineInfo(target.offsets[index], line))
            return chipError(error, target.chip);
        if (line.used)
            return heldLine(target, index, line.consumer);
    }
    if (const int error = library.requestOutputs(target.lines(), Consumer))
        return chipError(error, target.chip);
    return {};
}

PortError takeLines(const GpioLineSet &lineSet, GpioLibrary &library, const QString &devRoot,
                  QString &found)
{
    GpioChipFinder finder(library, devRoot);
    Target target{lineSet.chip, lineSet.offsets, lineSet};
    if (lineSet.byName()) {
        const GpioChipFinder::Found named = finder.findNamed(lineSet.lineNames());
        if (!named.problem.isEmpty())
            return portError(PortFault::LinesNotFound, named.problem);
        target.chip = named.chip;
        target.offsets = named.offsets;
        QStringList offsets;
        for (unsigned offset : target.lines())
            offsets << QString::number(offset);
        found = named.chip + QLatin1Char(':') + offsets.join(QLatin1Char(','));
        if (const int error = library.openChip(named.path))
            return chipError(error, target.chip);
    } else if (const int error = finder.open(lineSet.chip)) {
        return chipError(error, lineSet.chip);
    }
    return checkAndRequest(target, library);
}

} // namespace

PortOpening GpioPort::open(const GpioLineSet &lineSet, std::unique_ptr<GpioLibrary> library,
                           const QString &devRoot)
{
    QString found;
    PortError error = takeLines(lineSet, *library, devRoot, found);
    if (error.isError()) {
        library->release();
        return {nullptr, std::move(error), found};
    }
    return {std::unique_ptr<PortBackend>(new GpioPort(lineSet, std::move(library))), {}, found};
}

GpioPort::GpioPort(const GpioLineSet &lineSet, std::unique_ptr<GpioLibrary> library)
    : m_library(std::move(library))
    , m_name(QStringLiteral("GPIO lines ") + lineSet.text())
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
    if (m_switchedOff || m_gone)
        return;
    int values[GpioLineSet::MaxLines];
    for (int line = 0; line < m_count; ++line)
        values[line] = (value >> DataBits[line]) & 1;
    if (const int error = m_library->setValues({values, std::size_t(m_count)})) [[unlikely]] {
        m_failure = error;
        m_gone = true;
    }
}

void GpioPort::release() noexcept
{
    // A released line keeps driving the level it had, so the windings are
    // switched off first, bit 6's line too. That one ioctl is all that is
    // safe here, as this may run on the way to _exit from a signal's
    // context. Handing the lines back frees libgpiod's memory, so it waits
    // for the destructor; when the process ends through _exit instead, the
    // kernel hands them back as it closes the descriptors. Lines that
    // failed to be set are not tried again.
    if (m_switchedOff)
        return;
    m_switchedOff = true;
    if (m_gone)
        return;
    const int off[GpioLineSet::MaxLines] = {};
    m_library->setValues({off, std::size_t(m_count)});
}

void GpioPort::retryOff(std::uint8_t off) noexcept
{
    if (m_switchedOff)
        return;
    int values[GpioLineSet::MaxLines];
    for (int line = 0; line < m_count; ++line)
        values[line] = (off >> DataBits[line]) & 1;
    m_library->setValues({values, std::size_t(m_count)});
}

QString GpioPort::goneReason() const
{
    QString reason = m_name + QStringLiteral(": setting the lines failed (")
        + QString::fromLocal8Bit(std::strerror(m_failure)) + QLatin1Char(')');
    if (m_failure == ENODEV)
        reason += QStringLiteral(": the chip has gone (a USB GPIO chip unplugged?); restart Quarnet once it is back");
    return reason;
}

// libgpiod keeps the request's descriptor to itself; the kernel names it
// by the uAPI that made it: gpiolib-cdev's anon_inode_getfile() calls give
// a v1 line handle (libgpiod 1) "gpio-linehandle" and a v2 line request
// (libgpiod 2) "gpio-line". The route holds one request at a time, so the
// newest such is this one.
GuardHandle GpioPort::guardHandle() const
{
    static constexpr char HandleV1[] = "anon_inode:gpio-linehandle";
    static constexpr char RequestV2[] = "anon_inode:gpio-line";
    QByteArray link;
    const int fd = newestDescriptorLinkedTo(
        [](const QByteArray &target) { return target == HandleV1 || target == RequestV2; }, &link);
    if (fd < 0 || m_switchedOff || m_gone)
        return {};
    const auto kind = link == HandleV1 ? GuardHandle::Kind::GpioHandleV1 : GuardHandle::Kind::GpioRequestV2;
    return {kind, fd, 0, static_cast<std::uint8_t>(m_count)};
}
