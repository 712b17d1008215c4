#include "Adapters.h"
#include "CommandLine.h"
#include "DriveState.h"
#include "Form1.h"
#include "frmSplash.h"
#include "IMonotonicClock.h"
#include "KernelScheduling.h"
#include "MonitorWindow.h"
#include "PortAccess.h"
#include "Privileges.h"
#include "RealtimeKitClient.h"
#include "SignalBridge.h"
#include "SteadyClock.h"
#include "WindowSystemChoice.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <utility>

namespace {

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

int main(int argc, char *argv[])
{
    // Qt's own Unix dispatcher makes the run loop's event pass about 0.4 us
    // cheaper per step than glib's, and nothing here needs glib.
    const bool userChoseDispatcher = qEnvironmentVariableIsSet("QT_NO_GLIB");
    if (!userChoseDispatcher)
        qputenv("QT_NO_GLIB", "1");
    QCoreApplication::setApplicationName(QStringLiteral("quarnet"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUARNET_VERSION));
    // Read before the window system is opened: --help and a refused route
    // work in a terminal without a display, and nothing is shown for them.
    const QByteArray environmentPort = qgetenv("QUARNET_PORT");
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    CommandLine command = parseCommandLine(arguments, environmentPort);
    if (!command.unknownOptions) {
        if (const std::optional<int> status = finishCommandLine(command))
            return *status;
    }
    // Root is for direct port I/O alone: its permission is taken now, then
    // the process becomes the user who ran sudo or pkexec, before Qt reads
    // its plugins, options and display, and before any trace or browser.
    if (const std::optional<InvokingUser> user = Privileges::invokingUser()) {
        PortAccess::grantDirectAhead(routeBeforeTheWindowSystem(command, arguments, environmentPort));
        if (const QString why = Privileges::becomeUser(*user); !why.isEmpty()) {
            std::fprintf(stderr, "quarnet: cannot give up root for %s: %s\n", user->name.constData(), qPrintable(why));
            return 1;
        }
    }
    if (const QString refused = Privileges::rootRefusesOption(argc, argv); !refused.isEmpty()) {
        std::fprintf(stderr, "quarnet: %s\n", qPrintable(refused));
        return 2;
    }
    // Xwayland over native Wayland where the session has both and the user
    // chose neither; told to Qt alone, not to the programs the tool starts.
    const QByteArray windowSystem = windowSystemFor(QProcessEnvironment::systemEnvironment());
    if (!windowSystem.isEmpty())
        qputenv("QT_QPA_PLATFORM", windowSystem);
    // The desktop entry's name: the Wayland app id and the dock's icon and
    // grouping, whatever path the executable was started by.
    QGuiApplication::setDesktopFileName(QStringLiteral("quarnet"));
    QApplication app(argc, argv);
    if (!windowSystem.isEmpty())
        qunsetenv("QT_QPA_PLATFORM");
    // The dispatcher is chosen by now. Programs the tool starts (the link's
    // browser or mail client) get the environment the user started it with.
    if (!userChoseDispatcher)
        qunsetenv("QT_NO_GLIB");
    if (command.unknownOptions) {
        command = parseCommandLine(QCoreApplication::arguments(), environmentPort);
        if (const std::optional<int> status = finishCommandLine(command))
            return *status;
    }
    // The start-up window closes just before the main window shows; that
    // moment must not pass for the last window closing. The tool ends only
    // through the main window, which ends the process itself.
    app.setQuitOnLastWindowClosed(false);
    // Handlers go in before anything can touch the port, so that no signal
    // ever takes its default action once a winding may be powered. The order
    // matters outside too: the port access creates the trace file, and the
    // tests take that file's existence as the sign that signals are handled.
    // The bridge also absorbs SIGPIPE, so a display connection that breaks
    // reaches Qt as a write error, which ends through exit() and the safety
    // net rather than killing the process with a winding on.
    ProcessControl process;
    SignalBridge signalBridge;
    if (!signalBridge.isActive())
        std::fprintf(stderr, "quarnet: %s\n", qPrintable(signalBridge.errorString()));
    // Until the main window loads nothing is written: a plain end or stop is
    // all a signal needs. The start-up tick lets events run once, after
    // measuring, so a signal that came during the measurement acts there.
    auto endPlainly = QObject::connect(&signalBridge, &SignalBridge::terminationRequested,
                                       [&process] { process.endNow(); });
    auto stopPlainly = QObject::connect(&signalBridge, &SignalBridge::stopRequested,
                                        [&process] { process.stopUntilContinued(); });

    std::unique_ptr<PortAccess> port = PortAccess::forChoice(command.port, command.origin);

    DriveState state;
    SystemClock systemClock;
    QtEventPump qtPump;
    ThreadSleeper threadSleeper;
    DesktopShell desktopShell;
    Adapters::Port drivePort(*port);
    Adapters::EventPump pump(qtPump);
    Adapters::Process ending(process);
    Adapters::Clock clock(systemClock);
    Adapters::Sleeper sleeper(threadSleeper);
    Adapters::Shell shell(desktopShell);
    MonotonicClockOf<SteadyClock> stepClock;
    std::unique_ptr<Form1> form;
    std::unique_ptr<MonitorWindow> monitor;

    // Found out now, while the start-up window shows, so that "Start" only
    // applies what is known; RealtimeKit gets a second to answer.
    constexpr int priorityAnswerMs = 1000;
    KernelScheduling scheduling;
    RealtimeKitClient realtimeKit(priorityAnswerMs);
    ThreadPriority threadPriority(scheduling, realtimeKit, priorityAnswerMs);
    Adapters::Priority runPriority(threadPriority);
    process.setShutdownAction([&port, &threadPriority] {
        port->shutdown();
        threadPriority.settleBeforeExit();
    });
    // The drive gives the priority back before a stop; a session group the
    // kernel would only take back after a retry must be back before the
    // process stops, as no timer runs while it is stopped.
    process.setStopAction([&threadPriority] { threadPriority.settleBeforeExit(); });

    const auto showMainWindow = [&] {
        form = std::make_unique<Form1>(state, drivePort, pump, stepClock, ending, shell, runPriority);
        QObject::disconnect(endPlainly);
        QObject::disconnect(stopPlainly);
        QObject::connect(&signalBridge, &SignalBridge::terminationRequested, form.get(),
                         &Form1::closeProgram);
        QObject::connect(&signalBridge, &SignalBridge::stopRequested, form.get(), &Form1::stopProgram);
        // Registered only now: whatever the drive's writes use already
        // exists, so exit() runs this before tearing any of it down.
        g_exitNet = {form.get(), port.get()};
        port->setFailureHandler([&form](const QString &why) { form->portFailed(why); });
        std::atexit(switchOffAtExit);
        if (command.monitor) {
            monitor = std::make_unique<MonitorWindow>(state, stepClock);
            monitor->follow(*form);
        }
        form->show();
    };
    // The window destroys itself when the start-up sequence closes it.
    auto *splash = new frmSplash(state, {clock, pump, sleeper}, showMainWindow);
    splash->show();

    app.exec();
    // The loop only returns when something other than the window asked it
    // to (the desktop session ending): leave the windings off all the same.
    if (form)
        form->closeProgram();
    g_exitNet = {};
    return 0;
}
