#include "PortTraceReader.h"

#include <QFile>

namespace {

std::optional<std::uint64_t> decimal(QByteArrayView digits, std::uint64_t limit)
{
    if (digits.isEmpty() || digits.size() > 20)
        return std::nullopt;
    std::uint64_t value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        const std::uint64_t digit = std::uint64_t(c - '0');
        if (value > (limit - digit) / 10)
            return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

std::optional<std::uint16_t> hexPort(QByteArrayView digits)
{
    if (digits.size() < 3 || digits.size() > 4)
        return std::nullopt;
    std::uint16_t value = 0;
    for (const char c : digits) {
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else
            return std::nullopt;
        value = std::uint16_t(value * 16 + digit);
    }
    return value;
}

} // namespace

QList<int> PortTraceContents::values() const
{
    QList<int> result;
    for (const PortTraceLine &line : lines)
        result.append(line.value);
    return result;
}

namespace PortTraceReader {

std::optional<PortTraceLine> parseLine(QByteArrayView line)
{
    const qsizetype first = line.indexOf(' ');
    if (first < 0)
        return std::nullopt;
    const QByteArrayView rest = line.sliced(first + 1);
    const qsizetype second = rest.indexOf(' ');
    if (second < 0 || !rest.startsWith("0x"))
        return std::nullopt;
    const auto ns = decimal(line.first(first), UINT64_MAX);
    const auto port = hexPort(rest.sliced(2, second - 2));
    const auto value = decimal(rest.sliced(second + 1), 255);
    if (!ns || !port || !value)
        return std::nullopt;
    return PortTraceLine{*ns, *port, std::uint8_t(*value)};
}

PortTraceContents parse(QByteArrayView content)
{
    PortTraceContents trace;
    qsizetype start = 0;
    while (start < content.size()) {
        const qsizetype end = content.indexOf('\n', start);
        if (end < 0) {
            trace.fault = QStringLiteral("the last line is torn");
            break;
        }
        const QByteArrayView text = content.sliced(start, end - start);
        const std::optional<PortTraceLine> line = parseLine(text);
        if (!line) {
            trace.fault = QStringLiteral("bad line: ") + QString::fromLatin1(text);
            break;
        }
        trace.lines.append(*line);
        start = end + 1;
    }
    return trace;
}

PortTraceContents readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return parse(file.readAll());
}

} // namespace PortTraceReader
