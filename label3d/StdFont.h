#pragma once

#include "FontDescription.h"

#include <QFont>
#include <QObject>
#include <memory>

class StdFont;

// Font objects are shared by reference: two labels given the same object
// draw with it, and a change made through it reaches both.
using FontRef = std::shared_ptr<StdFont>;

class StdFont : public QObject
{
    Q_OBJECT

public:
    explicit StdFont(const FontDescription &description);

    static FontRef create(const FontDescription &description);
    // The ambient font of a window, as a font object of its own.
    static FontRef fromQFont(const QFont &font);

    const FontDescription &description() const { return m_description; }
    QFont toQFont() const;

    QString Name() const { return m_description.Name; }
    float Size() const { return m_description.Size; }
    qint16 Weight() const { return m_description.Weight; }
    bool Italic() const { return m_description.Italic; }
    bool Underline() const { return m_description.Underline; }
    bool Strikethrough() const { return m_description.Strikethrough; }
    qint16 Charset() const { return m_description.Charset; }

    void SetSize(float points); // ignored unless drawable, like an invalid weight
    void SetWeight(qint16 weight);

signals:
    void FontChanged();

private:
    void replace(const FontDescription &next);

    // Every setter changes one field and goes through replace(), so a value
    // that would make the font undrawable is refused in one place.
    template <typename T, typename V>
    void setField(T FontDescription::*field, V value)
    {
        FontDescription d = m_description;
        d.*field = value;
        replace(d);
    }

    FontDescription m_description;
};
