#include "DriveState.h"
#include "Form1.h"
#include "MeasureLoopRate.h"
#include "PortAccess.h"
#include "QtDesktopShell.h"
#include "QtEventPump.h"
#include "QtProcessControl.h"
#include "QtSystemClock.h"
#include "SignalBridge.h"

#include <QApplication>
#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);

    // Handlers go in before anything can touch the port, so that no signal
    // ever takes its default action once a winding may be powered.
    ProcessControl process;
    SignalBridge termination;
    if (!termination.isActive())
        std::fprintf(stderr, "quarnet: %s\n", qPrintable(termination.errorString()));
    // Nothing has been written yet: a plain end is all a signal needs.
    auto endPlainly = QObject::connect(&termination, &SignalBridge::terminationRequested,
                                       [&process] { process.endNow(); });

    std::unique_ptr<PortAccess> port = PortAccess::fromEnvironment();
    process.setShutdownAction([&port] { port->shutdown(); });

    DriveState state;
    SystemClock clock;
    MeasureLoopRate(state, clock);

    // The measurement kept the event loop still; a signal that came during
    // it ends the process here, before the main window's load writes 64.
    QtEventPump pump;
    pump.processPendingEvents();

    DesktopShell shell;
    Form1 form(state, *port, pump, process, shell);
    QObject::disconnect(endPlainly);
    QObject::connect(&termination, &SignalBridge::terminationRequested, &form, &Form1::closeProgram);
    form.show();

    app.exec();
    // The loop only returns when something other than the window asked it
    // to (the desktop session ending): leave the windings off all the same.
    form.closeProgram();
}
