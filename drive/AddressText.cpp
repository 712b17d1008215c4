#include "AddressText.h"

namespace {

int hexDigitValue(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    return -1;
}

std::optional<std::int16_t> fromHex(QStringView digits)
{
    if (digits.isEmpty() || digits.size() > 4)
        return std::nullopt;
    std::uint16_t value = 0;
    for (QChar c : digits) {
        const int digit = hexDigitValue(c.unicode());
        if (digit < 0)
            return std::nullopt;
        value = static_cast<std::uint16_t>(value * 16 + digit);
    }
    return static_cast<std::int16_t>(value);
}

// Only ASCII digits count: QChar::isDigit would also take other scripts' digits.
std::optional<std::int16_t> fromDecimal(QStringView text)
{
    bool negative = false;
    if (!text.isEmpty() && (text.front() == u'+' || text.front() == u'-')) {
        negative = text.front() == u'-';
        text = text.mid(1);
    }
    if (text.isEmpty())
        return std::nullopt;
    int magnitude = 0;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u < u'0' || u > u'9')
            return std::nullopt;
        magnitude = magnitude * 10 + (u - u'0');
        if (magnitude > 32768)
            return std::nullopt;
    }
    const int value = negative ? -magnitude : magnitude;
    if (value > 32767)
        return std::nullopt;
    return static_cast<std::int16_t>(value);
}

} // namespace

std::optional<std::int16_t> PortFromAddressText(QStringView text)
{
    text = text.trimmed();
    if (text.size() >= 2 && text[0] == u'&' && (text[1] == u'H' || text[1] == u'h'))
        return fromHex(text.mid(2));
    return fromDecimal(text);
}
