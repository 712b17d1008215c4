#include "SignalBridge.h"

#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The only state the handler touches. -1 while no bridge is installed.
volatile std::sig_atomic_t s_writeFd = -1;

extern "C" void onTerminationSignal(int signo)
{
    const int savedErrno = errno;
    const char byte = static_cast<char>(signo);
    // Non-blocking: when the pipe is full a request is already pending, and
    // the lost byte changes nothing.
    if (::write(s_writeFd, &byte, 1) < 0) {
    }
    errno = savedErrno;
}

QString systemError(const char *what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace

SignalBridge::SignalBridge(QObject *parent)
    : QObject(parent)
{
    if (s_writeFd != -1) {
        m_error = QStringLiteral("signal handling is already set up in this process");
        return;
    }
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        m_error = systemError("cannot create the signal pipe");
        return;
    }
    m_readFd = fds[0];
    m_writeFd = fds[1];
    m_notifier = new QSocketNotifier(m_readFd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SignalBridge::drainPipe);
    s_writeFd = m_writeFd;
    m_active = installHandlers();
}

SignalBridge::~SignalBridge()
{
    restoreHandlers();
    if (m_writeFd != -1 && s_writeFd == m_writeFd)
        s_writeFd = -1;
    if (m_readFd != -1)
        ::close(m_readFd);
    if (m_writeFd != -1)
        ::close(m_writeFd);
}

bool SignalBridge::installHandlers()
{
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    // While one of them is handled the others wait; SA_RESTART keeps the
    // port's and the trace's system calls from failing with EINTR.
    sigemptyset(&action.sa_mask);
    for (int signo : Signals)
        sigaddset(&action.sa_mask, signo);
    action.sa_flags = SA_RESTART;

    for (std::size_t i = 0; i < std::size(Signals); ++i) {
        if (::sigaction(Signals[i], &action, &m_previous[i]) != 0) {
            m_error = systemError("cannot install a signal handler");
            return false;
        }
        m_installed[i] = true;
    }
    return true;
}

void SignalBridge::restoreHandlers()
{
    for (std::size_t i = 0; i < std::size(Signals); ++i) {
        if (m_installed[i])
            ::sigaction(Signals[i], &m_previous[i], nullptr);
        m_installed[i] = false;
    }
}

void SignalBridge::drainPipe()
{
    char buffer[64];
    ssize_t n;
    do {
        n = ::read(m_readFd, buffer, sizeof buffer);
    } while (n > 0 || (n < 0 && errno == EINTR));

    if (m_requested)
        return;
    m_requested = true;
    emit terminationRequested();
}
