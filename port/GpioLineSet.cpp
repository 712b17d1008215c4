#include "GpioLineSet.h"

#include <QStringList>
#include <algorithm>

namespace {


// Offsets are small; a long run of digits is a typo, not a line.
constexpr qsizetype MaxOffsetDigits = 6;

// The caller names the text it parsed; this says only what is wrong with it.
GpioLineSetParse refuse(const QString &why)
{
    return {std::nullopt,
            QStringLiteral("%1; the form is gpio:%2 (for example gpio:gpiochip0:17,18,27,22)")
                .arg(why, QLatin1String(GpioLineSet::Form))};
}

std::optional<unsigned> parseOffset(QStringView item)
{
    const QStringView digits = item.trimmed();
    if (digits.isEmpty() || digits.size() > MaxOffsetDigits)
        return std::nullopt;
    if (!std::all_of(digits.begin(), digits.end(), [](QChar c) { return c.isDigit() && c.unicode() < 128; }))
        return std::nullopt;
    return digits.toUInt();
}

} // namespace

QString GpioLineSet::text() const
{
    QStringList numbers;
    for (unsigned offset : lines())
        numbers << QString::number(offset);
    return chip + QLatin1Char(':') + numbers.join(QLatin1Char(','));
}

GpioLineSetParse parseGpioLineSet(QStringView text)
{
    if (text.trimmed().isEmpty())
        return refuse(QStringLiteral("no chip named"));
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon < 0) {
        return refuse(text.contains(QLatin1Char(',')) ? QStringLiteral("no chip named")
                                                      : QStringLiteral("no lines named"));
    }
    const QStringView chip = text.left(colon).trimmed();
    if (chip.isEmpty())
        return refuse(QStringLiteral("no chip named"));
    if (chip.contains(QLatin1Char(':')))
        return refuse(QStringLiteral("one chip, then one list of lines"));

    const QList<QStringView> items = text.mid(colon + 1).split(QLatin1Char(','));
    if (items.size() < GpioLineSet::PhaseLines || items.size() > GpioLineSet::MaxLines) {
        return refuse(QStringLiteral("%1 lines named; four are needed for bits 0-3, "
                                     "and a fifth may carry bit 6")
                          .arg(items.size()));
    }
    GpioLineSet lineSet;
    lineSet.chip = chip.toString();
    for (QStringView item : items) {
        const std::optional<unsigned> offset = parseOffset(item);
        if (!offset)
            return refuse(QStringLiteral("\"%1\" is not a line number").arg(item));
        if (std::find(lineSet.offsets.begin(), lineSet.offsets.begin() + lineSet.count, *offset)
            != lineSet.offsets.begin() + lineSet.count)
            return refuse(QStringLiteral("line %1 named twice").arg(*offset));
        lineSet.offsets[lineSet.count++] = *offset;
    }
    return {lineSet, {}};
}
