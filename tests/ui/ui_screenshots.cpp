#include "Form1.h"
#include "Form2.h"
#include "GeneralNumber.h"
#include "QtEventPump.h"
#include "QtSystemClock.h"
#include "QtThreadSleeper.h"
#include "RateBar.h"
#include "UiFakes.h"
#include "frmSplash.h"

#include <QApplication>
#include <QDir>
#include <QTextStream>

// Renders the windows as the tool draws them and saves them as form1.png,
// form2.png and splash.png in the given folder (default: docs). The start-up
// window is taken with a figure shown, as it looks during its pause; its
// timer never gets to tick here.
int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QDir folder(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs"));

    DriveState state;
    RecordingPort port;
    ScriptedPump pump;
    RacingClock stepClock;
    ForbiddenProcess process;
    RecordingShell shell;
    Form1 main(state, port, pump, stepClock, process, shell);
    main.show();
    Form2 help;
    help.show();
    DriveState splashState;
    SystemClock clock;
    QtEventPump splashPump;
    ThreadSleeper sleeper;
    frmSplash splash(splashState, {clock, splashPump, sleeper}, [] {});
    const double rate = 49999999.0 / double(0.0312f); // a 2 GHz-class desktop
    splash.setRateText(formatGeneralNumber(rate, QLocale()));
    splash.setBarValue(RateBar::valueForRate(rate));
    splash.show();
    QCoreApplication::processEvents();

    bool saved = main.grab().save(folder.filePath(QStringLiteral("form1.png")));
    saved = help.grab().save(folder.filePath(QStringLiteral("form2.png"))) && saved;
    saved = splash.grab().save(folder.filePath(QStringLiteral("splash.png"))) && saved;
    if (!saved)
        QTextStream(stderr) << "could not write the pictures into " << folder.absolutePath() << '\n';
    return saved ? 0 : 1;
}
