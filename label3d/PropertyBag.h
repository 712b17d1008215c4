#pragma once

#include "FontDescription.h"
#include "PropertyValue.h"

#include <QList>
#include <QString>
#include <optional>

// The host's store of named property values, as a control reads them when it
// is created from saved data and writes them when its window is saved.
//
// Keys match without regard to letter case. A value written equal to its
// default is not kept, and a key not kept reads as the reader's default, so
// reader and writer only have to agree on the defaults. Entries keep their
// order, and a stored set may hold one key twice as long as both entries
// carry the same value; a read returns the first.
//
// Fonts are kept as a snapshot of their description: what was saved stays
// saved even when a label later changes the object it got. Reading one font
// entry twice hands out the very same object, so two labels read from one
// entry share it.
class PropertyBag
{
public:
    PropertyValue ReadProperty(const QString &name, const PropertyValue &defaultValue) const;
    void WriteProperty(const QString &name, const PropertyValue &value, const PropertyValue &defaultValue);

    // Adds an entry as a stored set holds it. Refuses (and returns false for)
    // a repeated key whose value differs from the first, since a reader could
    // not tell which one was meant.
    bool append(const QString &name, const PropertyValue &value);

    bool contains(const QString &name) const;
    qsizetype count() const { return m_entries.size(); }
    QStringList keys() const;
    // The same keys, letter case included, in the same order, with the same
    // types and values.
    bool sameEntries(const PropertyBag &other) const;

private:
    struct Entry
    {
        QString key;
        mutable PropertyValue value;
        std::optional<FontDescription> font;
    };

    static Entry makeEntry(const QString &name, const PropertyValue &value);
    const Entry *find(const QString &name) const;
    void removeAll(const QString &name);

    QList<Entry> m_entries;
};
