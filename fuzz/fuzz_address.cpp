// Any text typed into the address box must convert to a port or to nothing,
// never crash; and the conversion must agree with a slow, obviously right one.
#include "AddressText.h"

#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>

namespace {

std::optional<long> reference(const QString &text)
{
    const QString t = text.trimmed();
    if (t.startsWith(QLatin1String("&H"), Qt::CaseInsensitive)) {
        const QString digits = t.mid(2);
        if (digits.isEmpty() || digits.size() > 4)
            return std::nullopt;
        for (QChar c : digits) {
            if (!(c.isDigit() && c.unicode() < 128) && !QStringLiteral("abcdefABCDEF").contains(c))
                return std::nullopt;
        }
        const long value = digits.toLong(nullptr, 16);
        return value >= 0x8000 ? value - 0x10000 : value;
    }
    QString body = t;
    if (body.startsWith(QLatin1Char('+')) || body.startsWith(QLatin1Char('-')))
        body = body.mid(1);
    if (body.isEmpty())
        return std::nullopt;
    for (QChar c : body) {
        if (!(c.unicode() >= '0' && c.unicode() <= '9'))
            return std::nullopt;
    }
    bool ok = false;
    const long value = t.toLong(&ok, 10);
    if (!ok || value < -32768 || value > 32767)
        return std::nullopt;
    return value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::optional<std::int16_t> port = PortFromAddressText(text);
    const std::optional<long> expected = reference(text);
    if (port.has_value() != expected.has_value() || (port && long(*port) != *expected))
        std::abort();
    return 0;
}
