#include "PropertyText.h"

#include <cctype>

namespace {

// QString's number parsers forgive blanks and signs; the stored text must not.
bool isHexDigits(const QString &digits)
{
    if (digits.isEmpty())
        return false;
    for (QChar c : digits) {
        if (c.unicode() > 0x7F || !isxdigit(c.toLatin1()))
            return false;
    }
    return true;
}

bool needsEscape(QChar c)
{
    return c.unicode() < 0x20 || c.unicode() == 0x7F || c.isSurrogate();
}

struct Escape
{
    char letter;
    char16_t code;
};

constexpr Escape Escapes[] = {
    {'"', u'"'}, {'\\', u'\\'}, {'n', u'\n'}, {'r', u'\r'}, {'t', u'\t'},
};

// Reads the escape starting after the backslash at text[pos]; advances pos
// past it.
std::optional<QChar> readEscape(const QString &text, qsizetype &pos, QString *error)
{
    if (pos >= text.size()) {
        *error = QStringLiteral("a backslash ends the line");
        return std::nullopt;
    }
    const QChar letter = text.at(pos++);
    for (const Escape &e : Escapes) {
        if (letter == QLatin1Char(e.letter))
            return QChar(e.code);
    }
    if (letter == QLatin1Char('u')) {
        const QString hex = text.mid(pos, 4);
        if (hex.size() == 4 && isHexDigits(hex)) {
            pos += 4;
            return QChar(char16_t(hex.toUInt(nullptr, 16)));
        }
        *error = QStringLiteral("\\u must be followed by four hexadecimal digits");
        return std::nullopt;
    }
    *error = QStringLiteral("unknown escape \\%1").arg(letter);
    return std::nullopt;
}

std::optional<QString> readQuoted(const QString &line, qsizetype &pos, QString *error)
{
    QString out;
    ++pos; // opening quote
    while (pos < line.size()) {
        const QChar c = line.at(pos++);
        if (c == QLatin1Char('"'))
            return out;
        if (c == QLatin1Char('\\')) {
            const std::optional<QChar> escaped = readEscape(line, pos, error);
            if (!escaped)
                return std::nullopt;
            out.append(*escaped);
        } else if (c.unicode() < 0x20) {
            *error = QStringLiteral("control character inside a quoted text");
            return std::nullopt;
        } else {
            out.append(c);
        }
    }
    *error = QStringLiteral("quoted text is not closed");
    return std::nullopt;
}

} // namespace

namespace PropertyText {

QString quote(const QString &text)
{
    QString out(QLatin1Char('"'));
    for (QChar c : text) {
        bool named = false;
        for (const Escape &e : Escapes) {
            if (c == QChar(e.code)) {
                out += QLatin1Char('\\');
                out += QLatin1Char(e.letter);
                named = true;
                break;
            }
        }
        if (named)
            continue;
        if (needsEscape(c))
            out += QLatin1String("\\u")
                   + QString::number(c.unicode(), 16).rightJustified(4, QLatin1Char('0')).toUpper();
        else
            out += c;
    }
    return out + QLatin1Char('"');
}

std::optional<QList<Token>> split(const QString &line, QString *error)
{
    QList<Token> tokens;
    qsizetype pos = 0;
    while (pos < line.size()) {
        const QChar c = line.at(pos);
        if (c == QLatin1Char(' ') || c == QLatin1Char('\t')) {
            ++pos;
            continue;
        }
        if (c == QLatin1Char('"')) {
            const std::optional<QString> text = readQuoted(line, pos, error);
            if (!text)
                return std::nullopt;
            tokens.append({*text, true});
        } else {
            const qsizetype start = pos;
            while (pos < line.size() && line.at(pos) != QLatin1Char(' ')
                   && line.at(pos) != QLatin1Char('\t') && line.at(pos) != QLatin1Char('"'))
                ++pos;
            tokens.append({line.mid(start, pos - start), false});
        }
        // Words and quoted texts must be separated by blanks: a"b or "a"b is
        // more likely a damaged line than two values.
        if (pos < line.size() && line.at(pos) != QLatin1Char(' ') && line.at(pos) != QLatin1Char('\t')) {
            *error = QStringLiteral("missing blank after \"%1\"").arg(tokens.last().text);
            return std::nullopt;
        }
    }
    return tokens;
}

std::optional<qint64> parseWhole(const QString &word, qint64 min, qint64 max, int hexDigits)
{
    if (word.startsWith(QLatin1String("&H"), Qt::CaseInsensitive)) {
        const QString digits = word.mid(2);
        if (!isHexDigits(digits) || digits.size() > hexDigits)
            return std::nullopt;
        const quint64 bits = digits.toULongLong(nullptr, 16);
        const int width = hexDigits * 4;
        const quint64 top = quint64(1) << (width - 1);
        // Signed types read the top bit as the sign, as the original's hex
        // literals did; the unsigned byte has min 0 and keeps it positive.
        const qint64 value = (min < 0 && (bits & top)) ? qint64(bits) - qint64(top << 1) : qint64(bits);
        return value;
    }
    for (qsizetype i = 0; i < word.size(); ++i) {
        const QChar c = word.at(i);
        const bool sign = i == 0 && (c == QLatin1Char('-') || c == QLatin1Char('+'));
        if (!sign && (c < QLatin1Char('0') || c > QLatin1Char('9')))
            return std::nullopt;
    }
    bool ok = false;
    const qint64 value = word.toLongLong(&ok);
    if (!ok || value < min || value > max)
        return std::nullopt;
    return value;
}

std::optional<bool> parseBoolean(const QString &word)
{
    if (word == QLatin1String("true"))
        return true;
    if (word == QLatin1String("false"))
        return false;
    return std::nullopt;
}

} // namespace PropertyText
