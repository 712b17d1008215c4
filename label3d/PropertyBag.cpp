#include "PropertyBag.h"

#include "PropertyText.h"

#include <QStringList>
#include <limits>

namespace {

struct TypeName
{
    PropertyValue::Type type;
    const char *name;
};

constexpr TypeName TypeNames[] = {
    {PropertyValue::Type::Boolean, "bool"}, {PropertyValue::Type::Int16, "i16"},
    {PropertyValue::Type::Int32, "i32"},    {PropertyValue::Type::Byte, "u8"},
    {PropertyValue::Type::Text, "text"},    {PropertyValue::Type::Font, "font"},
};

struct WholeRange
{
    PropertyValue::Type type;
    qint64 min;
    qint64 max;
    int hexDigits;
};

constexpr WholeRange WholeRanges[] = {
    {PropertyValue::Type::Int16, std::numeric_limits<qint16>::min(), std::numeric_limits<qint16>::max(), 4},
    {PropertyValue::Type::Int32, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max(), 8},
    {PropertyValue::Type::Byte, 0, 255, 2},
};

constexpr int FontWords = 7;

const char *typeName(PropertyValue::Type type)
{
    for (const TypeName &t : TypeNames) {
        if (t.type == type)
            return t.name;
    }
    return "";
}

QString boolWord(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

QString fontWords(const FontDescription &d)
{
    // Nine significant digits bring every float back bit for bit.
    return QStringList{PropertyText::quote(d.Name), QString::number(double(d.Size), 'g', 9),
                       QString::number(d.Weight), boolWord(d.Italic), boolWord(d.Underline),
                       boolWord(d.Strikethrough), QString::number(d.Charset)}
        .join(QLatin1Char(' '));
}

std::optional<FontDescription> parseFont(const QList<PropertyText::Token> &w, QString *error)
{
    bool sizeOk = false;
    FontDescription d;
    d.Name = w[0].text;
    d.Size = w[1].quoted ? 0.0f : w[1].text.toFloat(&sizeOk);
    const auto weight = PropertyText::parseWhole(w[2].text, 1, 1000, 0);
    const auto italic = PropertyText::parseBoolean(w[3].text);
    const auto underline = PropertyText::parseBoolean(w[4].text);
    const auto strike = PropertyText::parseBoolean(w[5].text);
    const auto charset = PropertyText::parseWhole(w[6].text, std::numeric_limits<qint16>::min(),
                                                  std::numeric_limits<qint16>::max(), 4);
    bool bareNumbers = true;
    for (qsizetype i = 1; i < w.size(); ++i)
        bareNumbers = bareNumbers && !w[i].quoted;
    if (!w[0].quoted || !bareNumbers || !sizeOk || !weight || !italic || !underline || !strike || !charset) {
        *error = QStringLiteral("font wants \"name\" points weight(1-1000) italic underline "
                                "strikethrough charset");
        return std::nullopt;
    }
    d.Weight = qint16(*weight);
    d.Italic = *italic;
    d.Underline = *underline;
    d.Strikethrough = *strike;
    d.Charset = qint16(*charset);
    if (!d.isValid()) {
        *error = QStringLiteral("font size must be a positive number of points");
        return std::nullopt;
    }
    return d;
}

std::optional<PropertyValue> parseValue(PropertyValue::Type type, const QList<PropertyText::Token> &w,
                                        QString *error)
{
    const qsizetype wanted = type == PropertyValue::Type::Font ? FontWords : 1;
    if (w.size() != wanted) {
        *error = QStringLiteral("%1 wants %2 value(s), found %3").arg(typeName(type)).arg(wanted).arg(w.size());
        return std::nullopt;
    }
    if (type == PropertyValue::Type::Font) {
        const std::optional<FontDescription> d = parseFont(w, error);
        return d ? std::optional(PropertyValue::font(StdFont::create(*d))) : std::nullopt;
    }
    if (type == PropertyValue::Type::Text) {
        if (w[0].quoted)
            return PropertyValue::text(w[0].text);
        *error = QStringLiteral("text values must be quoted");
        return std::nullopt;
    }
    if (type == PropertyValue::Type::Boolean) {
        const std::optional<bool> b = w[0].quoted ? std::nullopt : PropertyText::parseBoolean(w[0].text);
        if (b)
            return PropertyValue::boolean(*b);
        *error = QStringLiteral("bool wants true or false, found \"%1\"").arg(w[0].text);
        return std::nullopt;
    }
    for (const WholeRange &r : WholeRanges) {
        if (r.type != type)
            continue;
        const auto n = w[0].quoted ? std::nullopt : PropertyText::parseWhole(w[0].text, r.min, r.max, r.hexDigits);
        if (!n) {
            *error = QStringLiteral("\"%1\" is not a %2 number").arg(w[0].text, typeName(type));
            return std::nullopt;
        }
        switch (type) {
        case PropertyValue::Type::Int16:
            return PropertyValue::int16(qint16(*n));
        case PropertyValue::Type::Int32:
            return PropertyValue::int32(qint32(*n));
        default:
            return PropertyValue::byte(quint8(*n));
        }
    }
    return std::nullopt;
}

} // namespace

PropertyBag::Entry PropertyBag::makeEntry(const QString &name, const PropertyValue &value)
{
    if (value.type() != PropertyValue::Type::Font)
        return Entry{name, value, std::nullopt};
    const FontDescription snapshot = value.toFont()->description();
    return Entry{name, PropertyValue::font(StdFont::create(snapshot)), snapshot};
}

const PropertyBag::Entry *PropertyBag::find(const QString &name) const
{
    for (const Entry &entry : m_entries) {
        if (entry.key.compare(name, Qt::CaseInsensitive) == 0)
            return &entry;
    }
    return nullptr;
}

void PropertyBag::removeAll(const QString &name)
{
    m_entries.removeIf([&](const Entry &e) { return e.key.compare(name, Qt::CaseInsensitive) == 0; });
}

PropertyValue PropertyBag::ReadProperty(const QString &name, const PropertyValue &defaultValue) const
{
    const Entry *entry = find(name);
    if (!entry)
        return defaultValue;
    // The object handed out earlier may have been changed by its label since;
    // the saved value is the snapshot, so hand out a fresh object then.
    if (entry->font && entry->value.toFont()->description() != *entry->font)
        entry->value = PropertyValue::font(StdFont::create(*entry->font));
    return entry->value;
}

void PropertyBag::WriteProperty(const QString &name, const PropertyValue &value,
                                const PropertyValue &defaultValue)
{
    if (value.sameValue(defaultValue)) {
        removeAll(name);
        return;
    }
    Entry entry = makeEntry(name, value);
    for (qsizetype i = 0; i < m_entries.size(); ++i) {
        if (m_entries[i].key.compare(name, Qt::CaseInsensitive) == 0) {
            m_entries[i] = entry;
            for (qsizetype j = m_entries.size() - 1; j > i; --j) {
                if (m_entries[j].key.compare(name, Qt::CaseInsensitive) == 0)
                    m_entries.removeAt(j);
            }
            return;
        }
    }
    m_entries.append(entry);
}

bool PropertyBag::append(const QString &name, const PropertyValue &value)
{
    const Entry *first = find(name);
    if (first && (first->value.type() != value.type() || !first->value.sameValue(value)))
        return false;
    m_entries.append(makeEntry(name, value));
    return true;
}

bool PropertyBag::contains(const QString &name) const
{
    return find(name) != nullptr;
}

QStringList PropertyBag::keys() const
{
    QStringList out;
    for (const Entry &entry : m_entries)
        out.append(entry.key);
    return out;
}

bool PropertyBag::sameEntries(const PropertyBag &other) const
{
    return toText() == other.toText();
}

QString PropertyBag::entryLine(const Entry &entry)
{
    const PropertyValue::Type type = entry.value.type();
    QString value;
    if (type == PropertyValue::Type::Font)
        value = fontWords(*entry.font);
    else if (type == PropertyValue::Type::Text)
        value = PropertyText::quote(entry.value.toText());
    else if (type == PropertyValue::Type::Boolean)
        value = boolWord(entry.value.toBoolean());
    else
        value = QString::number(entry.value.toInt32());
    return QStringLiteral("%1 %2 %3").arg(PropertyText::quote(entry.key), typeName(type), value);
}

QString PropertyBag::toText() const
{
    QString text = QLatin1String(Header) + QLatin1Char('\n');
    for (const Entry &entry : m_entries)
        text += entryLine(entry) + QLatin1Char('\n');
    return text;
}

bool PropertyBag::parseLine(PropertyBag &bag, const QString &line, QString *error)
{
    const auto tokens = PropertyText::split(line, error);
    if (!tokens)
        return false;
    if (tokens->isEmpty())
        return true;
    if (tokens->size() < 2 || !tokens->at(0).quoted || tokens->at(1).quoted) {
        *error = QStringLiteral("an entry is a quoted key, a type and a value");
        return false;
    }
    const QString &typeWord = tokens->at(1).text;
    for (const TypeName &t : TypeNames) {
        if (typeWord != QLatin1String(t.name))
            continue;
        const auto value = parseValue(t.type, tokens->mid(2), error);
        if (!value)
            return false;
        if (bag.append(tokens->at(0).text, *value))
            return true;
        *error = QStringLiteral("key \"%1\" repeats with a different value").arg(tokens->at(0).text);
        return false;
    }
    *error = QStringLiteral("unknown type \"%1\"").arg(typeWord);
    return false;
}

std::optional<PropertyBag> PropertyBag::fromText(const QString &text, QString *error)
{
    QString local;
    QString &message = error ? *error : local;
    QStringList lines = text.split(QLatin1Char('\n'));
    if (lines.size() > 1 && lines.last().isEmpty())
        lines.removeLast();
    for (QString &line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    }
    if (lines.first() != QLatin1String(Header)) {
        message = QStringLiteral("line 1: expected \"%1\"").arg(QLatin1String(Header));
        return std::nullopt;
    }
    PropertyBag bag;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        QString why;
        if (!parseLine(bag, lines[i], &why)) {
            message = QStringLiteral("line %1: %2").arg(i + 1).arg(why);
            return std::nullopt;
        }
    }
    message.clear();
    return bag;
}
