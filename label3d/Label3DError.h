#pragma once

#include <QString>
#include <stdexcept>

// The one error the label control lets escape. A member, a conversion or a
// lifecycle hook that meets it stops at that step: what it already applied
// stays applied, nothing after it runs and no change notification goes out.
// The host decides what to do with it; the control never catches its own.
class Label3DError : public std::runtime_error
{
public:
    // Numbered as the original run-time reported them, so a host that shows
    // them keeps the numbers users may know.
    enum class Kind {
        TypeMismatch = 13,          // a stored value of the wrong kind
        Overflow = 6,               // a value outside the target integer type
        InvalidPropertyValue = 380, // a value a label does not know, or no font
    };

    Label3DError(Kind kind, const QString &detail);

    Kind kind() const { return m_kind; }
    int number() const { return static_cast<int>(m_kind); }
    QString message() const { return QString::fromUtf8(what()); }

    static Label3DError overflow(const QString &detail);
    static Label3DError typeMismatch(const QString &detail);
    static Label3DError invalidValue(const QString &detail);

private:
    Kind m_kind;
};
