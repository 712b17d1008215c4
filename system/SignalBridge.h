#pragma once

#include <QObject>
#include <QString>
#include <csignal>

class QSocketNotifier;

// Turns every signal whose default action would end or stop the process
// (crashes aside) into a Qt signal on the user-interface thread, so that the
// windings can be switched off first. The handlers only write a byte to a
// pipe; the notifier on its other end fires from the event loop and from
// every event pass of a running motor loop.
//
//  - SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGPWR,
//    SIGXCPU, SIGVTALRM, SIGIO, SIGSTKFLT and the real-time signals ask for
//    the end: terminationRequested().
//  - SIGTSTP, SIGTTIN and SIGTTOU ask for a stop: stopRequested().
//  - SIGPIPE and SIGXFSZ are absorbed, so a broken display connection or a
//    file over the size limit fails its write instead of killing the tool.
//    A handler that does nothing rather than SIG_IGN: programs the tool
//    starts get the default back.
//  - A signal that was ignored when the process started (nohup, a shell's
//    `trap '' HUP`) stays ignored: whoever started the tool asked for that.
//  - Crash signals (SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT, SIGSYS,
//    SIGTRAP) and SIGPROF, which profilers use, are left as they are.
//
// The handlers stay installed for the bridge's whole life and never fall
// back to the default action, so a second signal arriving while the first is
// being handled cannot kill the process before the port has been written.
// One bridge per process.
class SignalBridge : public QObject
{
    Q_OBJECT

public:
    explicit SignalBridge(QObject *parent = nullptr);
    ~SignalBridge() override;

    // False when the pipe or a handler could not be set up; errorString() says why.
    bool isActive() const { return m_active; }
    QString errorString() const { return m_error; }

signals:
    // Emitted once, for the first request received; later ones, and stop
    // requests after it, are absorbed.
    void terminationRequested();
    // Emitted once per event pass that finds stop requests pending. The
    // receiver stops the process, after switching the windings off, and
    // returns once it is continued; a request that arrives meanwhile is
    // emitted afresh.
    void stopRequested();

private:
    void drainPipe();
    bool installHandlers();
    bool install(int signo, void (*handler)(int), int flags, bool required);
    void restoreHandlers();

    int m_readFd = -1;
    int m_writeFd = -1;
    QSocketNotifier *m_notifier = nullptr;
    struct sigaction m_previous[NSIG] = {};
    bool m_installed[NSIG] = {};
    bool m_active = false;
    bool m_requested = false;
    QString m_error;
};
