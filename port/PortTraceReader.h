#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <cstdint>
#include <optional>

// One line of the port trace, as PortTrace writes it: "<ns> 0x<port> <value>".
struct PortTraceLine
{
    std::uint64_t ns;
    std::uint16_t port;
    std::uint8_t value;
};

// A trace's whole lines in order and, when it is not a clean trace, what is
// wrong: a last line without its newline (torn) or a line that is not in the
// format. Reading stops at the first bad line.
struct PortTraceContents
{
    QList<PortTraceLine> lines;
    QString fault;

    QList<int> values() const;
};

// The trace format is a contract users parse too; this is its one reader.
namespace PortTraceReader {

// One line without its newline. The port has three or four lowercase hex
// digits, the value is 0..255 in decimal; anything else gives no line.
std::optional<PortTraceLine> parseLine(QByteArrayView line);

PortTraceContents parse(QByteArrayView content);

// A file that cannot be opened reads as an empty trace.
PortTraceContents readFile(const QString &path);

} // namespace PortTraceReader
