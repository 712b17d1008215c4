#include "Application.h"

#include "Form1.h"
#include "MonitorWindow.h"
#include "PortAccess.h"
#include "Privileges.h"
#include "WindowSystemChoice.h"
#include "frmSplash.h"

#include <QApplication>
#include <QProcessEnvironment>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace {

// Found out while the start-up window shows, so that "Start" only applies
// what is known; RealtimeKit gets a second to answer.
constexpr int PriorityAnswerMs = 1000;

// Qt's xcb platform ends the process with exit() when the display goes away
// (the desktop session ending), from inside whatever event pass is running,
// the motor's run loop included. Neither the window nor a signal sees that
// end, so an atexit routine switches the windings off on its way out. Every
// end the tool starts itself goes through _exit() and never gets here.
struct ExitSafetyNet
{
    Form1 *form = nullptr;
    PortAccess *port = nullptr;
};
ExitSafetyNet g_exitNet;

void switchOffAtExit()
{
    // exit() runs on the thread that called it, here the UI thread: plain
    // calls are safe. Taken out first so that a second exit() finds nothing.
    const ExitSafetyNet net = std::exchange(g_exitNet, {});
    if (net.form)
        net.form->switchOffForExit();
    if (net.port)
        net.port->shutdown();
}

} // namespace

Launch Launch::before(int argc, char *argv[])
{
    Launch launch;
    // Qt's own Unix dispatcher makes the run loop's event pass about 0.4 us
    // cheaper per step than glib's, and nothing here needs glib.
    launch.m_userChoseDispatcher = qEnvironmentVariableIsSet("QT_NO_GLIB");
    if (!launch.m_userChoseDispatcher)
        qputenv("QT_NO_GLIB", "1");
    QCoreApplication::setApplicationName(QStringLiteral("quarnet"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUARNET_VERSION));
    // Read before the window system is opened: --help and a refused route
    // work in a terminal without a display, and nothing is shown for them.
    launch.m_environmentPort = qgetenv("QUARNET_PORT");
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    launch.command = parseCommandLine(arguments, launch.m_environmentPort);
    if (!launch.command.unknownOptions) {
        if ((launch.exitStatus = finishCommandLine(launch.command)))
            return launch;
    }
    // Root is for direct port I/O alone: its permission is taken now, then
    // the process becomes the user who ran sudo or pkexec, before Qt reads
    // its plugins, options and display, and before any trace or browser.
    if (const std::optional<InvokingUser> user = Privileges::invokingUser()) {
        PortAccess::grantDirectAhead(routeBeforeTheWindowSystem(launch.command, arguments, launch.m_environmentPort));
        if (const QString why = Privileges::becomeUser(*user); !why.isEmpty()) {
            std::fprintf(stderr, "quarnet: cannot give up root for %s: %s\n", user->name.constData(), qPrintable(why));
            launch.exitStatus = 1;
            return launch;
        }
    }
    if (const QString refused = Privileges::rootRefusesOption(argc, argv); !refused.isEmpty()) {
        std::fprintf(stderr, "quarnet: %s\n", qPrintable(refused));
        launch.exitStatus = 2;
        return launch;
    }
    // Xwayland over native Wayland where the session has both and the user
    // chose neither; told to Qt alone, not to the programs the tool starts.
    launch.m_windowSystem = windowSystemFor(QProcessEnvironment::systemEnvironment());
    if (!launch.m_windowSystem.isEmpty())
        qputenv("QT_QPA_PLATFORM", launch.m_windowSystem);
    // The desktop entry's name: the Wayland app id and the dock's icon and
    // grouping, whatever path the executable was started by.
    QGuiApplication::setDesktopFileName(QStringLiteral("quarnet"));
    return launch;
}

std::optional<int> Launch::afterWindowSystem()
{
    if (!m_windowSystem.isEmpty())
        qunsetenv("QT_QPA_PLATFORM");
    // The dispatcher is chosen by now. Programs the tool starts (the link's
    // browser or mail client) get the environment the user started it with.
    if (!m_userChoseDispatcher)
        qunsetenv("QT_NO_GLIB");
    if (command.unknownOptions) {
        command = parseCommandLine(QCoreApplication::arguments(), m_environmentPort);
        if (const std::optional<int> status = finishCommandLine(command))
            return status;
    }
    // The start-up window closes just before the main window shows; that
    // moment must not pass for the last window closing. The tool ends only
    // through the main window, which ends the process itself.
    QGuiApplication::setQuitOnLastWindowClosed(false);
    return std::nullopt;
}

// The order of the members is the order things must happen in: the port
// access creates the trace file, and the tests take that file's existence
// as the sign that signals are handled. The bridge also absorbs SIGPIPE, so
// a display connection that breaks reaches Qt as a write error, which ends
// through exit() and the safety net rather than killing the process with a
// winding on.
Application::Application(const CommandLine &command)
    : m_command(command)
    , m_realtimeKit(PriorityAnswerMs)
    , m_priority(m_scheduling, m_realtimeKit, PriorityAnswerMs)
{
    if (!m_signals.isActive())
        std::fprintf(stderr, "quarnet: %s\n", qPrintable(m_signals.errorString()));
    // Until the main window loads nothing is written: a plain end or stop is
    // all a signal needs. The start-up tick lets events run once, after
    // measuring, so a signal that came during the measurement acts there.
    m_endPlainly = QObject::connect(&m_signals, &SignalBridge::terminationRequested,
                                    [this] { m_process.endNow(); });
    m_stopPlainly = QObject::connect(&m_signals, &SignalBridge::stopRequested,
                                     [this] { m_process.stopUntilContinued(); });
    m_port = PortAccess::forChoice(m_command.port, m_command.origin);
    m_process.setShutdownAction([this] {
        m_port->shutdown();
        m_priority.settleBeforeExit();
    });
    // The drive gives the priority back before a stop; a session group the
    // kernel would only take back after a retry must be back before the
    // process stops, as no timer runs while it is stopped.
    m_process.setStopAction([this] { m_priority.settleBeforeExit(); });
}

Application::~Application()
{
    g_exitNet = {};
}

void Application::start()
{
    // The window destroys itself when the start-up sequence closes it.
    auto *splash = new frmSplash(m_state, {m_clock, m_pump, m_sleeper}, [this] { showMainWindow(); });
    splash->show();
}

void Application::showMainWindow()
{
    m_form = std::make_unique<Form1>(m_state, *m_port, m_pump, m_stepClock, m_process, m_shell, m_priority);
    QObject::disconnect(m_endPlainly);
    QObject::disconnect(m_stopPlainly);
    QObject::connect(&m_signals, &SignalBridge::terminationRequested, m_form.get(), &Form1::closeProgram);
    QObject::connect(&m_signals, &SignalBridge::stopRequested, m_form.get(), &Form1::stopProgram);
    // Registered only now: whatever the drive's writes use already exists,
    // so exit() runs this before tearing any of it down.
    g_exitNet = {m_form.get(), m_port.get()};
    m_port->setFailureHandler([this](const QString &why) { m_form->portFailed(why); });
    std::atexit(switchOffAtExit);
    if (m_command.monitor) {
        m_monitor = std::make_unique<MonitorWindow>(m_state, m_stepClock);
        m_monitor->follow(*m_form);
    }
    m_form->show();
}

void Application::endAfterEventLoop()
{
    if (m_form)
        m_form->closeProgram();
    g_exitNet = {};
}
