#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>

// Appends one line per port write: "<ns> 0x<port> <value>", ns from
// CLOCK_MONOTONIC. Each line is formatted on the stack and handed to the
// kernel with a single write(2) on an O_APPEND descriptor, so a line is
// either wholly in the file or not at all, whether the process returns,
// calls _exit or dies of a signal: nothing waits in a user-space buffer.
class PortTrace
{
public:
    PortTrace() = default;
    PortTrace(const PortTrace &) = delete;
    PortTrace &operator=(const PortTrace &) = delete;
    ~PortTrace();

    // Appends to the file if it exists. On failure the trace stays off and
    // the reason is returned; an empty text means success.
    QString open(const QString &path);
    bool isOpen() const { return m_fd >= 0; }
    int descriptor() const { return m_fd; }

    void record(std::uint16_t port, std::uint8_t value) noexcept;

    // Async-signal-safe and idempotent.
    void close() noexcept;

    // Longest line: 20 digits of ns, " 0x" and 4 hex digits, " 255\n".
    static constexpr std::size_t MaxLine = 40;
    static std::size_t formatLine(char *line, std::uint64_t ns, std::uint16_t port,
                                  std::uint8_t value) noexcept;

private:
    int m_fd = -1;
};
