#include "PortTrace.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
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

QString notRegularFile(mode_t type)
{
    if (S_ISLNK(type))
        return QStringLiteral("a symbolic link, and the trace follows none");
    if (S_ISFIFO(type))
        return QStringLiteral("a named pipe, not a regular file");
    if (S_ISDIR(type))
        return QStringLiteral("a directory, not a regular file");
    if (S_ISCHR(type))
        return QStringLiteral("a terminal or other character device, not a regular file");
    if (S_ISBLK(type))
        return QStringLiteral("a block device, not a regular file");
    if (S_ISSOCK(type))
        return QStringLiteral("a socket, not a regular file");
    return QStringLiteral("not a regular file");
}

// Built on the stack by plain copies: it is made on the step path, maybe on
// the way out from a signal.
class FixedLine
{
public:
    void add(const char *text, std::size_t length) noexcept
    {
        length = std::min(length, sizeof m_text - m_length);
        std::memcpy(m_text + m_length, text, length);
        m_length += length;
    }
    void add(const char *text) noexcept { add(text, std::strlen(text)); }
    void addNumber(std::uint64_t value) noexcept
    {
        char digits[20];
        add(digits, static_cast<std::size_t>(putDecimal(digits, value) - digits));
    }
    void writeTo(int fd) const noexcept
    {
        [[maybe_unused]] const ssize_t written = ::write(fd, m_text, m_length);
    }

private:
    char m_text[512];
    std::size_t m_length = 0;
};

constexpr std::uint64_t NoNumber = ~std::uint64_t{0};

} // namespace

PortTrace::~PortTrace()
{
    close();
}

QString PortTrace::open(const QString &path, std::uint64_t limitBytes)
{
    close();
    const QByteArray name = path.toLocal8Bit();
    // Looked at first so that a device is never even opened: opening one can
    // act on it (a tape rewinds, a serial line raises its control lines).
    struct stat seen;
    if (::lstat(name.constData(), &seen) == 0 && !S_ISREG(seen.st_mode))
        return notRegularFile(seen.st_mode);
    // A file swapped in meanwhile is caught all the same: a link fails with
    // ELOOP, a pipe with no reader with ENXIO instead of waiting for one, and
    // the descriptor is checked for what it really is.
    const int fd = ::open(name.constData(),
                          O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY,
                          0600);
    if (fd < 0) {
        const int error = errno;
        if (::lstat(name.constData(), &seen) == 0 && !S_ISREG(seen.st_mode))
            return notRegularFile(seen.st_mode);
        return QString::fromLocal8Bit(std::strerror(error));
    }
    const std::uint64_t limit = std::min(limitBytes, LimitBytes);
    struct stat opened;
    QString refusal;
    if (::fstat(fd, &opened) != 0) {
        refusal = QString::fromLocal8Bit(std::strerror(errno));
    } else if (!S_ISREG(opened.st_mode)) {
        refusal = notRegularFile(opened.st_mode);
    } else if (opened.st_uid != ::getuid()) {
        // Root's trace in a user's file, or the other way round, would let
        // one write where only the other may.
        refusal = QStringLiteral("the file belongs to user %1, not to user %2, who runs quarnet")
                      .arg(opened.st_uid)
                      .arg(::getuid());
    } else if (static_cast<std::uint64_t>(opened.st_size) >= limit) {
        refusal = QStringLiteral("the file already holds %1 bytes, the trace's limit").arg(limit);
    }
    if (!refusal.isEmpty()) {
        ::close(fd);
        return refusal;
    }
    m_fd = fd;
    m_size = static_cast<std::uint64_t>(opened.st_size);
    m_limit = limit;
    m_tellPrefix = "quarnet: QUARNET_PORT_TRACE=" + name + ": ";
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
    if (m_size + length > m_limit) {
        giveUp("the file reached the trace's limit of ", m_limit, " bytes");
        return;
    }
    ssize_t written;
    do {
        written = ::write(m_fd, line, length);
    } while (written < 0 && errno == EINTR);
    if (written == static_cast<ssize_t>(length)) [[likely]] {
        m_size += length;
        return;
    }
    if (written >= 0) {
        // The file would end in a torn line: take it back, so that what
        // stays is whole lines only.
        const off_t end = ::lseek(m_fd, 0, SEEK_CUR);
        if (end >= written) {
            [[maybe_unused]] const int truncated = ::ftruncate(m_fd, end - written);
        }
        giveUp("a line did not fit whole (the disc is full or the file at its size limit)", NoNumber, "");
        return;
    }
    switch (errno) {
    case EFBIG:
        giveUp("the file is as large as this process may make one (ulimit -f)", NoNumber, "");
        break;
    case ENOSPC:
        giveUp("the disc is full", NoNumber, "");
        break;
    case EDQUOT:
        giveUp("the disc quota is used up", NoNumber, "");
        break;
    case EIO:
        giveUp("input/output error", NoNumber, "");
        break;
    case EAGAIN:
        giveUp("the write would have had to wait", NoNumber, "");
        break;
    default:
        giveUp("a write failed with error ", static_cast<std::uint64_t>(errno), "");
        break;
    }
}

// Once: the descriptor is closed, so every later record returns at once.
void PortTrace::giveUp(const char *why, std::uint64_t number, const char *after) noexcept
{
    close();
    FixedLine line;
    // A path too long for the line is cut; the reason never is.
    line.add(m_tellPrefix.constData(), std::min<std::size_t>(m_tellPrefix.size(), 300));
    line.add(why);
    if (number != NoNumber)
        line.addNumber(number);
    line.add(after);
    line.add("; no more of the trace is written\n");
    line.writeTo(m_tellFd);
}

void PortTrace::close() noexcept
{
    if (m_fd < 0)
        return;
    const int fd = m_fd;
    m_fd = -1;
    ::close(fd);
}
