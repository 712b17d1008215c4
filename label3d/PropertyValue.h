#pragma once

#include "StdFont.h"

#include <QString>
#include <QtGlobal>
#include <variant>

// One named value of a property store, in one of the kinds the label control
// reads and writes. The conversions behave like the original run-time's:
// numbers narrow with an overflow check, Booleans count as -1 and 0, text
// holding a number converts, anything else is a type mismatch. Each failure
// throws Label3DError and leaves nothing half-converted.
class PropertyValue
{
public:
    enum class Type { Boolean, Int16, Int32, Byte, Text, Font };

    static PropertyValue boolean(bool value);
    static PropertyValue int16(qint16 value);
    static PropertyValue int32(qint32 value);
    static PropertyValue byte(quint8 value);
    static PropertyValue text(const QString &value);
    static PropertyValue font(const FontRef &value);

    Type type() const { return Type(m_value.index()); }

    bool toBoolean() const;
    qint16 toInt16() const;
    qint32 toInt32() const;
    quint8 toByte() const;
    QString toText() const;
    FontRef toFont() const;

    // Value equality as the store sees it: numbers of any width and Booleans
    // compare by number, fonts by their description, never text with number.
    bool sameValue(const PropertyValue &other) const;

private:
    using Storage = std::variant<bool, qint16, qint32, quint8, QString, FontRef>;
    explicit PropertyValue(Storage value);

    qint64 toWholeNumber() const;

    Storage m_value;
};
