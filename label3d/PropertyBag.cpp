#include "PropertyBag.h"

#include <QStringList>
#include <algorithm>

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
    return std::equal(m_entries.begin(), m_entries.end(), other.m_entries.begin(), other.m_entries.end(),
                      [](const Entry &a, const Entry &b) {
                          return a.key == b.key && a.value.type() == b.value.type() && a.font == b.font
                                 && (a.font || a.value.sameValue(b.value));
                      });
}
