#pragma once

#include "CommandLine.h"
#include "DesktopShell.h"
#include "DriveState.h"
#include "IMonotonicClock.h"
#include "KernelScheduling.h"
#include "ProcessControl.h"
#include "QtEventPump.h"
#include "RealtimeKitClient.h"
#include "SignalBridge.h"
#include "SteadyClock.h"
#include "SystemClock.h"
#include "ThreadPriority.h"
#include "ThreadSleeper.h"

#include <QByteArray>
#include <QMetaObject>
#include <memory>
#include <optional>

class Form1;
class MonitorWindow;
class PortAccess;

// What must be settled before the window system opens, and what is put back
// once it has: the command line read twice (before and after Qt takes its
// own options out), root given up, the platform and the event dispatcher
// chosen for Qt alone.
class Launch
{
public:
    // Before QApplication. An exit status when the run ends here (--help, a
    // refused route or option, a failed switch from root).
    static Launch before(int argc, char *argv[]);
    // Right after QApplication.
    std::optional<int> afterWindowSystem();

    std::optional<int> exitStatus;
    CommandLine command;

private:
    QByteArray m_environmentPort;
    QByteArray m_windowSystem;
    bool m_userChoseDispatcher = false;
};

// The program itself: the port, the services the drive and the windows take,
// the start-up window and then the main window and the live view. Made once
// the application object exists; lives until the process ends.
class Application
{
public:
    explicit Application(const CommandLine &command);
    ~Application();
    Application(const Application &) = delete;
    Application &operator=(const Application &) = delete;

    // The start-up window; the main window follows it.
    void start();
    // The event loop returned without the main window ending the process
    // (the desktop session ending): the windings are left off all the same.
    void endAfterEventLoop();

private:
    void showMainWindow();

    const CommandLine m_command;
    // Handlers go in before anything can touch the port, so that no signal
    // ever takes its default action once a winding may be powered.
    ProcessControl m_process;
    SignalBridge m_signals;
    QMetaObject::Connection m_endPlainly;
    QMetaObject::Connection m_stopPlainly;
    std::unique_ptr<PortAccess> m_port;

    DriveState m_state;
    SystemClock m_clock;
    QtEventPump m_pump;
    ThreadSleeper m_sleeper;
    DesktopShell m_shell;
    SteadyClock m_stepClock;
    KernelScheduling m_scheduling;
    RealtimeKitClient m_realtimeKit;
    ThreadPriority m_priority;
    std::unique_ptr<Form1> m_form;
    std::unique_ptr<MonitorWindow> m_monitor;
};
