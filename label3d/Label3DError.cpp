#include "Label3DError.h"

namespace {

QString kindText(Label3DError::Kind kind)
{
    switch (kind) {
    case Label3DError::Kind::TypeMismatch:
        return QStringLiteral("Type mismatch");
    case Label3DError::Kind::Overflow:
        return QStringLiteral("Overflow");
    case Label3DError::Kind::InvalidPropertyValue:
        return QStringLiteral("Invalid property value");
    }
    return QString();
}

} // namespace

Label3DError::Label3DError(Kind kind, const QString &detail)
    : std::runtime_error(
          QStringLiteral("%1 (%2): %3").arg(kindText(kind)).arg(int(kind)).arg(detail).toStdString()),
      m_kind(kind)
{
}

Label3DError Label3DError::overflow(const QString &detail)
{
    return Label3DError(Kind::Overflow, detail);
}

Label3DError Label3DError::typeMismatch(const QString &detail)
{
    return Label3DError(Kind::TypeMismatch, detail);
}

Label3DError Label3DError::invalidValue(const QString &detail)
{
    return Label3DError(Kind::InvalidPropertyValue, detail);
}
