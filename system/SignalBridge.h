#pragma once

#include <QObject>
#include <QString>
#include <csignal>
#include <iterator>

class QSocketNotifier;

// Turns SIGINT, SIGTERM and SIGHUP into one Qt signal on the user-interface
// thread, so that ending on a signal can switch the windings off first. The
// handlers only write a byte to a pipe; the notifier on its other end fires
// from the event loop and from every event pass of a running motor loop.
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
    // Emitted once, for the first signal received; later ones are absorbed.
    void terminationRequested();

private:
    void drainPipe();
    bool installHandlers();
    void restoreHandlers();

    static constexpr int Signals[] = {SIGINT, SIGTERM, SIGHUP};

    int m_readFd = -1;
    int m_writeFd = -1;
    QSocketNotifier *m_notifier = nullptr;
    struct sigaction m_previous[std::size(Signals)] = {};
    bool m_installed[std::size(Signals)] = {};
    bool m_active = false;
    bool m_requested = false;
    QString m_error;
};
