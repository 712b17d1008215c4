#pragma once

#include <QList>
#include <QString>
#include <optional>

// The lexical layer of the stored-property text: quoting of texts and the
// splitting of one line into words and quoted texts. Kept apart from the
// store so that the escaping rules live in one place.
namespace PropertyText {

struct Token
{
    QString text;
    bool quoted = false;
};

// Quotes a text so that it comes back code unit for code unit: control
// characters and surrogate halves are written as \uXXXX, which keeps a
// broken surrogate pair intact and every line printable.
QString quote(const QString &text);

// Splits one line into tokens separated by blanks. Returns nothing and sets
// error on an unterminated quote, an unknown escape or a stray quote.
std::optional<QList<Token>> split(const QString &line, QString *error);

// Whole numbers as decimal with an optional sign, or &H followed by at most
// hexDigits digits taken as the type's bit pattern (&HFFFF is -1 in 16 bits).
std::optional<qint64> parseWhole(const QString &word, qint64 min, qint64 max, int hexDigits);

std::optional<bool> parseBoolean(const QString &word);

} // namespace PropertyText
