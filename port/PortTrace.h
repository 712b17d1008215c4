#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <unistd.h>

// Appends one line per port write to the file QUARNET_PORT_TRACE names:
// "<ns> 0x<port> <value>", ns from CLOCK_MONOTONIC. Each line is formatted
// on the stack and handed to the kernel with a single write(2) on an
// O_APPEND descriptor, so a line is either wholly in the file or not at all,
// whether the process returns, calls _exit or dies of a signal: nothing
// waits in a user-space buffer.
//
// The trace never holds up the motor and writes only where it may: it takes
// nothing but a regular file of the user running the tool (no link, pipe,
// terminal or device, nobody else's file), opens it without ever waiting,
// and gives up for good, with one line, at the first write that does not go
// through at once and whole, or once the file would pass its size limit.
class PortTrace
{
public:
    // At 32767 steps a second that is some five minutes of trace; at the
    // speeds a motor is watched at, days.
    static constexpr std::uint64_t LimitBytes = std::uint64_t{256} << 20;

    // The line that says the trace was given up goes to `tellFd`.
    explicit PortTrace(int tellFd = STDERR_FILENO) : m_tellFd(tellFd) {}
    PortTrace(const PortTrace &) = delete;
    PortTrace &operator=(const PortTrace &) = delete;
    ~PortTrace();

    // Appends to the file if it exists, creates it (mode 0600) if not. On
    // refusal the trace stays off and the reason is returned; an empty text
    // means success. `limitBytes` may only lower the limit.
    QString open(const QString &path, std::uint64_t limitBytes = LimitBytes);
    bool isOpen() const { return m_fd >= 0; }
    int descriptor() const { return m_fd; }

    // Async-signal-safe, allocates nothing, blocks on nothing.
    void record(std::uint16_t port, std::uint8_t value) noexcept;

    // Async-signal-safe and idempotent.
    void close() noexcept;

    // Longest line: 20 digits of ns, " 0x" and 4 hex digits, " 255\n".
    static constexpr std::size_t MaxLine = 40;
    static std::size_t formatLine(char *line, std::uint64_t ns, std::uint16_t port,
                                  std::uint8_t value) noexcept;

private:
    void giveUp(const char *why, std::uint64_t number, const char *after) noexcept;

    int m_fd = -1;
    int m_tellFd;
    std::uint64_t m_size = 0;
    std::uint64_t m_limit = 0;
    // "quarnet: QUARNET_PORT_TRACE=<path>: ", made when the file is opened
    // so that giving up allocates nothing.
    QByteArray m_tellPrefix;
};
