#include "PortGuardian.h"

#include "ftdi/FtdiPort.h"
#include "PortTrace.h"

#include <QDir>
#include <QFile>
#include <QSocketNotifier>

#include <cerrno>
#include <csetjmp>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <linux/gpio.h>
#include <linux/ppdev.h>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#if defined(__x86_64__) || defined(__i386__)
#include <sys/io.h>
#endif

namespace {

// One message per device handed over, with its descriptor alongside.
struct HoldMessage
{
    std::uint8_t slot;
    GuardHandle::Kind kind;
    std::uint8_t lines;
    std::uint16_t base;
};

// The FT232R's and FT232H's bulk OUT endpoint of interface A, which
// bit-bang mode drives the pins from.
constexpr unsigned char FtdiOutEndpoint = 0x02;
constexpr unsigned FtdiWriteTimeoutMs = 100;
// GPIO lines carry data bits 0-3 and, with a fifth line, bit 6.
constexpr int GpioDataBits[] = {0, 1, 2, 3, 6};

struct HeldDevice
{
    GuardHandle::Kind kind = GuardHandle::Kind::None;
    int fd = -1;
    std::uint16_t base = 0;
    std::uint8_t lines = 0;
};

void say(const char *text) noexcept
{
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, text, std::strlen(text));
}

#if defined(__x86_64__) || defined(__i386__)
sigjmp_buf s_outbFaulted;

extern "C" void onOutbFault(int)
{
    siglongjmp(s_outbFaulted, 1);
}
#endif

// outb without the permission faults; the guardian is told, not killed.
bool guardedOutb(std::uint8_t value, std::uint16_t port) noexcept
{
#if defined(__x86_64__) || defined(__i386__)
    struct sigaction fault = {};
    struct sigaction previous = {};
    fault.sa_handler = onOutbFault;
    sigemptyset(&fault.sa_mask);
    ::sigaction(SIGSEGV, &fault, &previous);
    bool written = false;
    if (sigsetjmp(s_outbFaulted, 1) == 0) {
        outb(value, port);
        written = true;
    }
    ::sigaction(SIGSEGV, &previous, nullptr);
    return written;
#else
    (void)value;
    (void)port;
    return false;
#endif
}

// Everything from here to _exit runs in the forked child of a process that
// has other threads: only system calls, on the stack.
bool switchOff(const HeldDevice &device, std::uint8_t off) noexcept
{
    switch (device.kind) {
    case GuardHandle::Kind::Ppdev: {
        unsigned char data = off;
        return ::ioctl(device.fd, PPWDATA, &data) == 0;
    }
    case GuardHandle::Kind::Direct:
        if (guardedOutb(off, device.base))
            return true;
        say("quarnet: the guardian has no I/O permission for the port: a winding may stay powered\n");
        return false;
    case GuardHandle::Kind::GpioHandleV1: {
        gpiohandle_data data{};
        for (int line = 0; line < device.lines; ++line)
            data.values[line] = (off >> GpioDataBits[line]) & 1;
        return ::ioctl(device.fd, GPIOHANDLE_SET_LINE_VALUES_IOCTL, &data) == 0;
    }
    case GuardHandle::Kind::GpioRequestV2: {
        gpio_v2_line_values values{};
        for (int line = 0; line < device.lines; ++line) {
            values.mask |= 1ull << line;
            if ((off >> GpioDataBits[line]) & 1)
                values.bits |= 1ull << line;
        }
        return ::ioctl(device.fd, GPIO_V2_LINE_SET_VALUES_IOCTL, &values) == 0;
    }
    case GuardHandle::Kind::UsbBulk: {
        unsigned char pins = ftdiPinsOf(off);
        usbdevfs_bulktransfer transfer{};
        transfer.ep = FtdiOutEndpoint;
        transfer.len = 1;
        transfer.timeout = FtdiWriteTimeoutMs;
        transfer.data = &pins;
        return ::ioctl(device.fd, USBDEVFS_BULK, &transfer) == 1;
    }
    case GuardHandle::Kind::None:
        break;
    }
    return false;
}

void appendTrace(int traceFd, std::uint16_t port, std::uint8_t value) noexcept
{
    if (traceFd < 0)
        return;
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const std::uint64_t ns = std::uint64_t(now.tv_sec) * 1000000000u + std::uint64_t(now.tv_nsec);
    char line[PortTrace::MaxLine];
    const std::size_t length = PortTrace::formatLine(line, ns, port, value);
    ssize_t written;
    do {
        written = ::write(traceFd, line, length);
    } while (written < 0 && errno == EINTR);
}

// The guardian's own signals: those a terminal, a session or a user sends
// to end the tool reach the tool, which switches off itself; the guardian
// then finds everything off. It ends only when the tool has gone.
void detachFromTheTool() noexcept
{
    ::setsid();
    ::prctl(PR_SET_NAME, "quarnet-guard", 0, 0, 0);
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    struct sigaction standard = ignore;
    standard.sa_handler = SIG_DFL;
    for (int signo = 1; signo < NSIG; ++signo) {
        if (signo == SIGKILL || signo == SIGSTOP)
            continue;
        const bool fatal = signo == SIGSEGV || signo == SIGBUS || signo == SIGILL || signo == SIGFPE
            || signo == SIGABRT || signo == SIGCHLD || signo == SIGCONT;
        ::sigaction(signo, fatal ? &standard : &ignore, nullptr);
    }
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
}

bool receive(int socket, HeldDevice (&devices)[PortGuardian::MaxDevices]) noexcept
{
    HoldMessage message{};
    iovec part{&message, sizeof message};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))];
    msghdr header{};
    header.msg_iov = &part;
    header.msg_iovlen = 1;
    header.msg_control = control;
    header.msg_controllen = sizeof control;
    ssize_t got;
    do {
        got = ::recvmsg(socket, &header, MSG_CMSG_CLOEXEC);
    } while (got < 0 && errno == EINTR);
    if (got <= 0)
        return false;
    int fd = -1;
    if (cmsghdr *passed = CMSG_FIRSTHDR(&header);
        passed && passed->cmsg_level == SOL_SOCKET && passed->cmsg_type == SCM_RIGHTS)
        std::memcpy(&fd, CMSG_DATA(passed), sizeof fd);
    if (got != sizeof message || message.slot >= PortGuardian::MaxDevices) {
        if (fd >= 0)
            ::close(fd);
        return true;
    }
    HeldDevice &device = devices[message.slot];
    if (device.fd >= 0)
        ::close(device.fd);
    device = {message.kind, fd, message.base, message.lines};
#if defined(__x86_64__) || defined(__i386__)
    // The permission comes with the fork when the tool took it first (and
    // then gave up root); otherwise the guardian, with the tool's rights,
    // asks for its own. Either may fail: the write finds out, safely.
    if (device.kind == GuardHandle::Kind::Direct)
        ::ioperm(device.base, 1, 1);
#endif
    return true;
}

[[noreturn]] void guard(int socket, const GuardedPorts &ports, int traceFd) noexcept
{
    detachFromTheTool();
    HeldDevice devices[PortGuardian::MaxDevices];
    while (receive(socket, devices)) {
    }
    // The tool has gone, by whatever way: every port it left with a phase
    // line on gets its byte with the phase lines off.
    for (std::size_t port = 0; port < ports.last.size(); ++port) {
        const std::uint8_t last = ports.last[port].load(std::memory_order_relaxed);
        if ((last & 0x0F) == 0)
            continue;
        const auto off = static_cast<std::uint8_t>(last & 0xF0);
        const std::uint8_t slot = ports.routes[port];
        if (slot >= GuardedPorts::FirstRealSlot && slot - GuardedPorts::FirstRealSlot < PortGuardian::MaxDevices) {
            if (!switchOff(devices[slot - GuardedPorts::FirstRealSlot], off))
                continue;
        }
        appendTrace(traceFd, static_cast<std::uint16_t>(port), off);
    }
    ::_exit(0);
}

QString systemError(const char *what, int error)
{
    return QStringLiteral("%1 (%2)").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(error)));
}

} // namespace

std::unique_ptr<GuardedPorts, void (*)(GuardedPorts *)> GuardedPorts::map()
{
    const auto unmap = [](GuardedPorts *ports) {
        if (ports) {
            ports->~GuardedPorts();
            ::munmap(ports, sizeof(GuardedPorts));
        }
    };
    void *memory = ::mmap(nullptr, sizeof(GuardedPorts), PROT_READ | PROT_WRITE,
                          MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED)
        throw std::bad_alloc();
    // Zeroed by the kernel: every route unrouted, every last byte 0.
    return {new (memory) GuardedPorts, unmap};
}

std::unique_ptr<PortGuardian> PortGuardian::start(GuardedPorts &ports, int traceFd, QString &error)
{
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0) {
        error = systemError("no socket for it", errno);
        return nullptr;
    }
    // _Fork runs no fork handlers: the child touches nothing another
    // thread may have held locked when it was made.
    const pid_t pid = ::_Fork();
    if (pid < 0) {
        error = systemError("it could not be started", errno);
        ::close(ends[0]);
        ::close(ends[1]);
        return nullptr;
    }
    if (pid == 0) {
        // The tool's end stays the tool's alone: the guardian, and every
        // program the tool starts (close-on-exec), must not keep it open.
        ::close(ends[0]);
        guard(ends[1], ports, traceFd);
    }
    ::close(ends[1]);
    return std::unique_ptr<PortGuardian>(new PortGuardian(ends[0], pid));
}

PortGuardian::PortGuardian(int socket, qint64 pid)
    : m_socket(socket)
    , m_pid(pid)
{
    // The guardian never writes: the socket turns readable only when it ends.
    m_notifier = new QSocketNotifier(m_socket, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &PortGuardian::guardianEnded);
}

PortGuardian::~PortGuardian()
{
    if (m_socket >= 0)
        ::close(m_socket);
    // Reaped by init, or by whoever adopts it: it outlives the tool by design.
}

void PortGuardian::setEndedHandler(std::function<void(const QString &)> handler)
{
    m_ended = std::move(handler);
}

QString PortGuardian::hold(int slot, const GuardHandle &handle)
{
    if (m_socket < 0)
        return QStringLiteral("the guardian has ended");
    if (slot < 0 || slot >= MaxDevices || handle.kind == GuardHandle::Kind::None)
        return QStringLiteral("the guardian cannot reach this route");
    HoldMessage message{static_cast<std::uint8_t>(slot), handle.kind, handle.lines, handle.base};
    iovec part{&message, sizeof message};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    msghdr header{};
    header.msg_iov = &part;
    header.msg_iovlen = 1;
    if (handle.fd >= 0) {
        header.msg_control = control;
        header.msg_controllen = sizeof control;
        cmsghdr *passed = CMSG_FIRSTHDR(&header);
        passed->cmsg_level = SOL_SOCKET;
        passed->cmsg_type = SCM_RIGHTS;
        passed->cmsg_len = CMSG_LEN(sizeof(int));
        std::memcpy(CMSG_DATA(passed), &handle.fd, sizeof(int));
    }
    ssize_t sent;
    do {
        sent = ::sendmsg(m_socket, &header, MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    if (sent != sizeof message)
        return systemError("handing it the device failed", errno);
    return {};
}

void PortGuardian::guardianEnded()
{
    m_notifier->setEnabled(false);
    ::close(m_socket);
    m_socket = -1;
    int status = 0;
    QString how = QStringLiteral("it ended");
    if (::waitpid(pid_t(m_pid), &status, 0) == pid_t(m_pid) && WIFSIGNALED(status))
        how = QStringLiteral("it was killed by signal %1").arg(WTERMSIG(status));
    if (m_ended)
        m_ended(how);
}

int newestDescriptorLinkedTo(const std::function<bool(const QByteArray &link)> &matches, QByteArray *link)
{
    const QDir fds(QStringLiteral("/proc/self/fd"));
    int newest = -1;
    for (const QString &entry : fds.entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot)) {
        bool isNumber = false;
        const int fd = entry.toInt(&isNumber);
        if (!isNumber || fd <= newest)
            continue;
        char target[256];
        const QByteArray path = QFile::encodeName(fds.filePath(entry));
        const ssize_t length = ::readlink(path.constData(), target, sizeof target - 1);
        if (length <= 0)
            continue;
        const QByteArray text(target, length);
        if (matches(text)) {
            newest = fd;
            if (link)
                *link = text;
        }
    }
    return newest;
}
