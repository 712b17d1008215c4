#pragma once

#include <QLocale>
#include <QString>

// A number as the desktop shows it in its general form: up to 15 significant
// digits, no digit grouping, the locale's decimal separator, no trailing
// zeros, and an exponent ("1E+15") only where the digits run out.
QString formatGeneralNumber(double value, const QLocale &locale);
