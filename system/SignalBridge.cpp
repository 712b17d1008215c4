#include "SignalBridge.h"

#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The only state the handlers touch. -1 while no bridge is installed.
volatile std::sig_atomic_t s_writeFd = -1;

constexpr char EndByte = 'e';
constexpr char StopByte = 's';

void sendToPipe(char byte)
{
    const int savedErrno = errno;
    // Non-blocking: when the pipe is full a request of each kind is already
    // pending, and the lost byte changes nothing.
    if (::write(s_writeFd, &byte, 1) < 0) {
    }
    errno = savedErrno;
}

extern "C" void onEndingSignal(int)
{
    sendToPipe(EndByte);
}

extern "C" void onStopSignal(int)
{
    sendToPipe(StopByte);
}

extern "C" void onAbsorbedSignal(int)
{
}

constexpr int EndingSignals[] = {
    SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGPWR, SIGXCPU, SIGVTALRM, SIGIO,
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
};
constexpr int StopSignals[] = {SIGTSTP, SIGTTIN, SIGTTOU};
constexpr int AbsorbedSignals[] = {SIGPIPE, SIGXFSZ};

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
    // SA_RESTART keeps the port's and the trace's system calls from failing
    // with EINTR. Not for SIGTTIN and SIGTTOU: the kernel sends those to a
    // background process that reads or writes its terminal, and restarts the
    // call after the handler, which sends them again; the thread would spin
    // there and never reach the event pass that switches off and stops.
    // Failing that write with EINTR instead lets it through.
    for (int signo : EndingSignals) {
        if (!install(signo, onEndingSignal, SA_RESTART, true))
            return false;
    }
    for (int signo : StopSignals) {
        if (!install(signo, onStopSignal, signo == SIGTSTP ? SA_RESTART : 0, true))
            return false;
    }
    for (int signo : AbsorbedSignals) {
        if (!install(signo, onAbsorbedSignal, SA_RESTART, true))
            return false;
    }
    // Nothing in the tool uses them, and by default each one kills. An
    // emulator (qemu-user) may keep the last few for itself and refuse them:
    // those can reach the tool no more than they can be caught.
    for (int signo = SIGRTMIN; signo <= SIGRTMAX; ++signo)
        install(signo, onEndingSignal, SA_RESTART, false);
    return true;
}

bool SignalBridge::install(int signo, void (*handler)(int), int flags, bool required)
{
    struct sigaction current;
    if (::sigaction(signo, nullptr, &current) != 0) {
        if (required)
            m_error = systemError("cannot read a signal's disposition");
        return !required;
    }
    if (!(current.sa_flags & SA_SIGINFO) && current.sa_handler == SIG_IGN)
        return true;

    struct sigaction action = {};
    action.sa_handler = handler;
    action.sa_flags = flags;
    // While one request is written the others wait; the handlers are short.
    sigemptyset(&action.sa_mask);
    for (int other : EndingSignals)
        sigaddset(&action.sa_mask, other);
    for (int other : StopSignals)
        sigaddset(&action.sa_mask, other);
    if (::sigaction(signo, &action, &m_previous[signo]) != 0) {
        if (required)
            m_error = systemError("cannot install a signal handler");
        return !required;
    }
    m_installed[signo] = true;
    return true;
}

void SignalBridge::restoreHandlers()
{
    for (int signo = 1; signo < NSIG; ++signo) {
        if (m_installed[signo])
            ::sigaction(signo, &m_previous[signo], nullptr);
        m_installed[signo] = false;
    }
}

// Everything pending is read before anything is emitted: a stop returns
// only once the process is continued, and must not find its own request
// still in the pipe.
void SignalBridge::drainPipe()
{
    bool ending = false;
    bool stopping = false;
    char buffer[64];
    for (;;) {
        const ssize_t n = ::read(m_readFd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        for (ssize_t i = 0; i < n; ++i) {
            ending = ending || buffer[i] == EndByte;
            stopping = stopping || buffer[i] == StopByte;
        }
    }

    if (m_requested)
        return;
    if (ending) {
        m_requested = true;
        emit terminationRequested();
    } else if (stopping) {
        emit stopRequested();
    }
}
