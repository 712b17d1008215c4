#include "gpio/GpioChipFinder.h"

#include <QDir>
#include <algorithm>
#include <cerrno>
#include <cstring>

struct GpioChipFinder::ChipLines
{
    QString name;
    QByteArray label;
    QList<QByteArray> lineNames; // by offset; empty for an unnamed line
    int error = 0;               // the chip could not be read
};

namespace {

bool isNumber(const QString &text)
{
    return !text.isEmpty()
        && std::all_of(text.begin(), text.end(), [](QChar c) { return c.isDigit() && c.unicode() < 128; });
}

bool isChipNode(const QString &name)
{
    return name.startsWith(QLatin1String("gpiochip")) && isNumber(name.mid(8));
}

// gpiochip2 before gpiochip10, as the kernel numbers them.
bool numberOrder(const QString &left, const QString &right)
{
    const auto number = [](const QString &name) { return name.mid(8).toULongLong(); };
    return number(left) != number(right) ? number(left) < number(right) : left < right;
}

struct Match
{
    int chip;
    unsigned offset;
};

} // namespace

GpioChipFinder::GpioChipFinder(GpioLibrary &library, QString devRoot)
    : m_library(library)
    , m_devRoot(std::move(devRoot))
{
}

QStringList GpioChipFinder::chipNames() const
{
    QStringList names = QDir(m_devRoot).entryList({QStringLiteral("gpiochip*")},
                                                  QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    names.removeIf([](const QString &name) { return !isChipNode(name); });
    std::sort(names.begin(), names.end(), numberOrder);
    return names;
}

QByteArray GpioChipFinder::pathOf(const QString &name) const
{
    return (m_devRoot + QLatin1Char('/') + name).toLocal8Bit();
}

int GpioChipFinder::openChecked(const QString &name)
{
    const QByteArray path = pathOf(name);
    if (const int error = m_library.checkChip(path))
        return error;
    return m_library.openChip(path);
}

int GpioChipFinder::open(const QString &chip)
{
    if (isNumber(chip))
        return openChecked(QStringLiteral("gpiochip%1").arg(chip.toULongLong()));
    if (isChipNode(chip))
        return openChecked(chip);
    // Anything else is a label ("pinctrl-bcm2835"), looked for among the
    // chips: a chip that could not be opened to read its own explains best
    // why none was found.
    int unreadable = ENOENT;
    const QByteArray label = chip.toUtf8();
    for (const QString &name : chipNames()) {
        GpioChipInfo info;
        if (const int openError = openChecked(name)) {
            if (openError == EACCES || openError == EPERM)
                unreadable = openError;
            continue;
        }
        if (m_library.chipInfo(info) == 0 && info.label == label)
            return 0;
        m_library.release();
    }
    return unreadable;
}

GpioChipFinder::ChipLines GpioChipFinder::readChip(const QString &name)
{
    ChipLines chip{name, {}, {}, openChecked(name)};
    GpioChipInfo info;
    if (!chip.error)
        chip.error = m_library.chipInfo(info);
    chip.label = info.label;
    for (unsigned offset = 0; !chip.error && offset < info.lineCount; ++offset) {
        GpioLineInfo line;
        chip.error = m_library.lineInfo(offset, line);
        chip.lineNames << line.name;
    }
    m_library.release();
    return chip;
}

GpioChipFinder::Found GpioChipFinder::findNamed(std::span<const QString> names)
{
    QList<ChipLines> chips;
    for (const QString &name : chipNames())
        chips << readChip(name);

    // What there is, for a refusal: every chip and the names it gives.
    const auto whatThereIs = [&chips] {
        if (chips.isEmpty())
            return QStringLiteral("this machine has no GPIO chip (ls /dev/gpiochip* lists none)");
        QStringList told;
        for (const ChipLines &chip : chips) {
            if (chip.error) {
                told << QStringLiteral("%1 could not be read (%2)")
                            .arg(chip.name, QString::fromLocal8Bit(std::strerror(chip.error)));
                continue;
            }
            QStringList lineNames;
            for (const QByteArray &line : chip.lineNames) {
                if (!line.isEmpty())
                    lineNames << QString::fromUtf8(line);
            }
            told << QStringLiteral("%1 (%2) %3")
                        .arg(chip.name, QString::fromUtf8(chip.label),
                             lineNames.isEmpty() ? QStringLiteral("names no lines")
                                                 : QStringLiteral("has ") + lineNames.join(QLatin1Char(' ')));
        }
        return told.join(QStringLiteral("; "));
    };

    Found found;
    QStringList missing;
    QStringList twice;
    int chipOfAll = -1;
    bool spread = false;
    QStringList where;
    for (std::size_t wanted = 0; wanted < names.size(); ++wanted) {
        const QByteArray name = names[wanted].toUtf8();
        QList<Match> matches;
        for (int chip = 0; chip < chips.size(); ++chip) {
            for (int offset = 0; offset < chips[chip].lineNames.size(); ++offset) {
                if (chips[chip].lineNames[offset] == name)
                    matches << Match{chip, unsigned(offset)};
            }
        }
        if (matches.isEmpty()) {
            missing << names[wanted];
            continue;
        }
        if (matches.size() > 1) {
            QStringList at;
            for (const Match &match : matches)
                at << QStringLiteral("line %1 of %2").arg(match.offset).arg(chips[match.chip].name);
            twice << QStringLiteral("%1 is %2").arg(names[wanted], at.join(QStringLiteral(" and ")));
            continue;
        }
        found.offsets[wanted] = matches.first().offset;
        where << QStringLiteral("%1 on %2").arg(names[wanted], chips[matches.first().chip].name);
        spread = spread || (chipOfAll >= 0 && chipOfAll != matches.first().chip);
        chipOfAll = matches.first().chip;
    }

    if (!missing.isEmpty()) {
        found.problem = QStringLiteral("no GPIO chip has a line named %1 (%2)")
                            .arg(missing.join(QStringLiteral(", ")), whatThereIs());
    } else if (!twice.isEmpty()) {
        found.problem = QStringLiteral("%1: name the chip and the offsets instead (gpio:CHIP:L0,L1,L2,L3[,L6])")
                            .arg(twice.join(QStringLiteral("; ")));
    } else if (spread) {
        found.problem = QStringLiteral("the lines are on more than one chip (%1): they are set together, "
                                       "so one chip must have them all")
                            .arg(where.join(QStringLiteral(", ")));
    } else {
        found.chip = chips[chipOfAll].name;
        found.path = pathOf(found.chip);
    }
    return found;
}
