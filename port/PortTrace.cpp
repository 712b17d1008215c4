#include "PortTrace.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace {

char *putDecimal(char *out, std::uint64_t value) noexcept
{
    char digits[20];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (count > 0)
        *out++ = digits[--count];
    return out;
}

// At least three digits, so the legacy bases read as in the address box
// (0x378) and a stray small port stands out (0x003).
char *putHex(char *out, std::uint16_t value) noexcept
{
    static constexpr char Digits[] = "0123456789abcdef";
    const int count = value > 0xFFF ? 4 : 3;
    for (int shift = (count - 1) * 4; shift >= 0; shift -= 4)
        *out++ = Digits[(value >> shift) & 0xF];
    return out;
}

std::uint64_t monotonicNs() noexcept
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000000000u
         + static_cast<std::uint64_t>(now.tv_nsec);
}

} // namespace

PortTrace::~PortTrace()
{
    close();
}

QString PortTrace::open(const QString &path)
{
    close();
    const QByteArray name = path.toLocal8Bit();
    m_fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (m_fd < 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    return {};
}

std::size_t PortTrace::formatLine(char *line, std::uint64_t ns, std::uint16_t port,
                                  std::uint8_t value) noexcept
{
    char *out = putDecimal(line, ns);
    *out++ = ' ';
    *out++ = '0';
    *out++ = 'x';
    out = putHex(out, port);
    *out++ = ' ';
    out = putDecimal(out, value);
    *out++ = '\n';
    return static_cast<std::size_t>(out - line);
}

void PortTrace::record(std::uint16_t port, std::uint8_t value) noexcept
{
    if (m_fd < 0)
        return;
    char line[MaxLine];
    const std::size_t length = formatLine(line, monotonicNs(), port, value);
    ssize_t written;
    do {
        written = ::write(m_fd, line, length);
    } while (written < 0 && errno == EINTR);
}

void PortTrace::close() noexcept
{
    if (m_fd < 0)
        return;
    const int fd = m_fd;
    m_fd = -1;
    ::close(fd);
}
