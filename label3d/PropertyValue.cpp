#include "PropertyValue.h"

#include "Label3DError.h"

#include <limits>

namespace {

template<typename T>
T narrow(qint64 value, const char *target)
{
    if (value < std::numeric_limits<T>::min() || value > std::numeric_limits<T>::max())
        throw Label3DError::overflow(QStringLiteral("%1 does not fit in %2").arg(value).arg(target));
    return static_cast<T>(value);
}

} // namespace

PropertyValue::PropertyValue(Storage value)
    : m_value(std::move(value))
{
}

PropertyValue PropertyValue::boolean(bool value) { return PropertyValue(Storage(value)); }
PropertyValue PropertyValue::int16(qint16 value) { return PropertyValue(Storage(value)); }
PropertyValue PropertyValue::int32(qint32 value) { return PropertyValue(Storage(value)); }
PropertyValue PropertyValue::byte(quint8 value) { return PropertyValue(Storage(value)); }
PropertyValue PropertyValue::text(const QString &value) { return PropertyValue(Storage(value)); }
PropertyValue PropertyValue::font(const FontRef &value) { return PropertyValue(Storage(value)); }

qint64 PropertyValue::toWholeNumber() const
{
    switch (type()) {
    case Type::Boolean:
        return std::get<bool>(m_value) ? -1 : 0;
    case Type::Int16:
        return std::get<qint16>(m_value);
    case Type::Int32:
        return std::get<qint32>(m_value);
    case Type::Byte:
        return std::get<quint8>(m_value);
    case Type::Text: {
        bool ok = false;
        const qint64 number = std::get<QString>(m_value).trimmed().toLongLong(&ok);
        if (!ok)
            throw Label3DError::typeMismatch(
                QStringLiteral("\"%1\" is not a number").arg(std::get<QString>(m_value)));
        return number;
    }
    case Type::Font:
        break;
    }
    throw Label3DError::typeMismatch(QStringLiteral("a font object is not a number"));
}

bool PropertyValue::toBoolean() const
{
    if (type() == Type::Text) {
        const QString text = std::get<QString>(m_value).trimmed();
        if (text.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
            return true;
        if (text.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
            return false;
    }
    return toWholeNumber() != 0;
}

qint16 PropertyValue::toInt16() const { return narrow<qint16>(toWholeNumber(), "16 bits"); }
qint32 PropertyValue::toInt32() const { return narrow<qint32>(toWholeNumber(), "32 bits"); }
quint8 PropertyValue::toByte() const { return narrow<quint8>(toWholeNumber(), "an unsigned byte"); }

QString PropertyValue::toText() const
{
    switch (type()) {
    case Type::Text:
        return std::get<QString>(m_value);
    case Type::Boolean:
        return std::get<bool>(m_value) ? QStringLiteral("True") : QStringLiteral("False");
    case Type::Font:
        throw Label3DError::typeMismatch(QStringLiteral("a font object is not text"));
    default:
        return QString::number(toWholeNumber());
    }
}

FontRef PropertyValue::toFont() const
{
    if (type() != Type::Font)
        throw Label3DError::typeMismatch(QStringLiteral("the stored value is not a font object"));
    const FontRef &font = std::get<FontRef>(m_value);
    if (!font)
        throw Label3DError::invalidValue(QStringLiteral("no font object"));
    return font;
}

bool PropertyValue::sameValue(const PropertyValue &other) const
{
    const bool fontHere = type() == Type::Font;
    const bool fontThere = other.type() == Type::Font;
    if (fontHere || fontThere) {
        if (!(fontHere && fontThere))
            return false;
        const FontRef &a = std::get<FontRef>(m_value);
        const FontRef &b = std::get<FontRef>(other.m_value);
        if (!a || !b)
            return a == b;
        return a == b || a->description() == b->description();
    }
    const bool textHere = type() == Type::Text;
    const bool textThere = other.type() == Type::Text;
    if (textHere || textThere)
        return textHere && textThere && std::get<QString>(m_value) == std::get<QString>(other.m_value);
    return toWholeNumber() == other.toWholeNumber();
}
