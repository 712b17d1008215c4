#include "gpio/GpioLineSet.h"

#include <QStringList>
#include <algorithm>

namespace {

// Offsets are small; a long run of digits is a typo, not a line.
constexpr qsizetype MaxOffsetDigits = 6;

// The caller names the text it parsed; this says only what is wrong with it.
GpioLineSetParse refuse(const QString &why)
{
    return {std::nullopt,
            QStringLiteral("%1; the form is gpio:%2 (for example gpio:GPIO17,GPIO18,GPIO27,GPIO22 "
                           "or gpio:gpiochip0:17,18,27,22)")
                .arg(why, QLatin1String(GpioLineSet::Form))};
}

bool isAsciiNumber(QStringView digits)
{
    return !digits.isEmpty()
        && std::all_of(digits.begin(), digits.end(),
                       [](QChar c) { return c.isDigit() && c.unicode() < 128; });
}

std::optional<unsigned> parseOffset(QStringView item)
{
    const QStringView digits = item.trimmed();
    if (digits.size() > MaxOffsetDigits || !isAsciiNumber(digits))
        return std::nullopt;
    return digits.toUInt();
}

std::optional<GpioLineSetParse> refuseCount(qsizetype count)
{
    if (count >= GpioLineSet::PhaseLines && count <= GpioLineSet::MaxLines)
        return std::nullopt;
    return refuse(QStringLiteral("%1 lines named; four are needed for bits 0-3, "
                                 "and a fifth may carry bit 6")
                      .arg(count));
}

GpioLineSetParse parseOffsets(QStringView chip, QStringView list)
{
    const QList<QStringView> items = list.split(QLatin1Char(','));
    if (const auto refused = refuseCount(items.size()))
        return *refused;
    GpioLineSet lineSet;
    lineSet.chip = chip.toString();
    for (QStringView item : items) {
        const std::optional<unsigned> offset = parseOffset(item);
        if (!offset) {
            return refuse(QStringLiteral("\"%1\" is not a line number (lines by name take no chip)")
                              .arg(item));
        }
        const auto taken = lineSet.lines();
        if (std::find(taken.begin(), taken.end(), *offset) != taken.end())
            return refuse(QStringLiteral("line %1 named twice").arg(*offset));
        lineSet.offsets[lineSet.count++] = *offset;
    }
    return {lineSet, {}};
}

GpioLineSetParse parseNames(QStringView list)
{
    const QList<QStringView> items = list.split(QLatin1Char(','));
    if (items.size() == 1)
        return refuse(QStringLiteral("no lines named"));
    if (const auto refused = refuseCount(items.size()))
        return *refused;
    GpioLineSet lineSet;
    for (QStringView item : items) {
        const QString name = item.trimmed().toString();
        if (name.isEmpty())
            return refuse(QStringLiteral("\"\" is not a line name"));
        if (isAsciiNumber(name))
            return refuse(QStringLiteral("no chip named for line %1 (offsets need their chip)").arg(name));
        if (name.toUtf8().size() > GpioLineSet::MaxNameBytes) {
            return refuse(QStringLiteral("\"%1\" is longer than a line name can be (%2 bytes)")
                              .arg(name)
                              .arg(GpioLineSet::MaxNameBytes));
        }
        const auto taken = lineSet.lineNames();
        if (std::find(taken.begin(), taken.end(), name) != taken.end())
            return refuse(QStringLiteral("line %1 named twice").arg(name));
        lineSet.names[lineSet.count++] = name;
    }
    return {lineSet, {}};
}

} // namespace

QString GpioLineSet::text() const
{
    QStringList items;
    if (byName()) {
        for (const QString &name : lineNames())
            items << name;
        return items.join(QLatin1Char(','));
    }
    for (unsigned offset : lines())
        items << QString::number(offset);
    return chip + QLatin1Char(':') + items.join(QLatin1Char(','));
}

GpioLineSetParse parseGpioLineSet(QStringView text)
{
    if (text.trimmed().isEmpty())
        return refuse(QStringLiteral("no chip named"));
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon < 0)
        return parseNames(text);
    const QStringView chip = text.left(colon).trimmed();
    if (chip.isEmpty())
        return refuse(QStringLiteral("no chip named"));
    if (chip.contains(QLatin1Char(':')))
        return refuse(QStringLiteral("one chip, then one list of lines"));
    // A path could name any file; only the kernel's GPIO chips are ever opened.
    if (chip.contains(QLatin1Char('/')))
        return refuse(QStringLiteral("\"%1\" is a path: name the chip gpiochipN, by its number or by its label "
                                     "(gpiodetect lists them)").arg(chip));
    return parseOffsets(chip, text.mid(colon + 1));
}
