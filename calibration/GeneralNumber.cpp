#include "GeneralNumber.h"

QString formatGeneralNumber(double value, const QLocale &locale)
{
    // 'G' with 15 digits already drops trailing zeros and switches to an
    // exponent past 15 digits; only the separator is the locale's.
    QString text = QString::number(value, 'G', 15);
    const QString separator = locale.decimalPoint();
    if (separator != QLatin1String("."))
        text.replace(QLatin1Char('.'), separator);
    return text;
}
