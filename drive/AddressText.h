#pragma once

#include <QStringView>
#include <cstdint>
#include <optional>

// Converts the address box's text to a port number in integer-literal
// notation: a decimal integer with an optional sign, or "&H" and one to four
// hex digits, blanks around it ignored. "&H8000".."&HFFFF" keep their bit
// pattern and so come out negative. Anything else has no port: nullopt.
// Runs at every port write, so it reads the text in place and never allocates.
std::optional<std::int16_t> PortFromAddressText(QStringView text);
