#include "Form1.h"
#include "Form2.h"
#include "frmSplash.h"
#include "GeneralNumber.h"
#include "MonitorWindow.h"
#include "QtEventPump.h"
#include "RateBar.h"
#include "SystemClock.h"
#include "ThreadSleeper.h"
#include "UiFakes.h"

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QTextStream>
#include <functional>

namespace {

QImage side(QWidget &left, QWidget &right, int gap)
{
    const QPixmap a = left.grab();
    const QPixmap b = right.grab();
    QImage both(a.width() + gap + b.width(), std::max(a.height(), b.height()), QImage::Format_RGB32);
    both.fill(Qt::white);
    QPainter painter(&both);
    painter.drawPixmap(0, 0, a);
    painter.drawPixmap(a.width() + gap, 0, b);
    return both;
}

// A real run of the drive at 10 steps/s in the given mode, the view beside
// the main window; the picture is taken mid-run, `steps` steps in.
bool saveRunning(Form1 &main, MonitorWindow &monitor, ScriptedPump &pump, ScriptedMonotonicClock &clock,
                 const char *mode, int steps, const QString &path)
{
    const FormControls &controls = main.controls();
    controls.get<QRadioButton>(mode)->click();
    bool saved = false;
    int pass = 0;
    pump.everyPass = [&] {
        clock.now += 100'000'000;
        monitor.refresh();
        if (++pass <= steps)
            return;
        QCoreApplication::processEvents();
        saved = side(main, monitor, 8).save(path);
        controls.get<QPushButton>("Command3")->click();
    };
    controls.get<QPushButton>("Command1")->click();
    pump.everyPass = nullptr;
    return saved;
}

} // namespace

// Renders the windows as the tool draws them and saves them as form1.png,
// form2.png and splash.png in the given folder (default: docs), and the live
// view of the outputs beside a running main window in each mode as
// monitor-full.png and monitor-half.png. The start-up
// window is taken with a figure shown, as it looks during its pause; its
// timer never gets to tick here.
int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QDir folder(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs"));

    DriveState state;
    RecordingPort port;
    ScriptedPump pump;
    ScriptedMonotonicClock stepClock = ScriptedMonotonicClock::stepping(ScriptedMonotonicClock::Second);
    FakeProcess process = FakeProcess::forbidden();
    RecordingShell shell;
    Form1 main(state, port, pump, stepClock, process, shell);
    main.show();
    Form2 help;
    help.show();
    DriveState splashState;
    SystemClock systemClock;
    QtEventPump qtPump;
    ThreadSleeper threadSleeper;
    frmSplash splash(splashState, {systemClock, qtPump, threadSleeper}, [] {});
    const double rate = 49999999.0 / double(0.0312f); // a 2 GHz-class desktop
    splash.setRateText(formatGeneralNumber(rate, QLocale()));
    splash.setBarValue(RateBar::valueForRate(rate));
    splash.show();
    QCoreApplication::processEvents();

    bool saved = main.grab().save(folder.filePath(QStringLiteral("form1.png")));
    saved = help.grab().save(folder.filePath(QStringLiteral("form2.png"))) && saved;
    saved = splash.grab().save(folder.filePath(QStringLiteral("splash.png"))) && saved;

    DriveState runState;
    RecordingPort runPort;
    ScriptedPump runPump;
    runPump.deliverEvents = true;
    // The live view's clock: a tenth of a second per step of the run below,
    // so it shows the 10 steps/s the main window is set to.
    ScriptedMonotonicClock viewClock;
    Form1 running(runState, runPort, runPump, stepClock, process, shell);
    MonitorWindow monitor(runState, viewClock);
    monitor.follow(running);
    running.show();
    for (int i = 0; i < 9; ++i)
        running.controls().get<QPushButton>("Command8(1)")->click();
    saved = saveRunning(running, monitor, runPump, viewClock, "Option1(1)", 22,
                        folder.filePath(QStringLiteral("monitor-full.png"))) && saved;
    saved = saveRunning(running, monitor, runPump, viewClock, "Option1(0)", 25,
                        folder.filePath(QStringLiteral("monitor-half.png"))) && saved;
    if (!saved)
        QTextStream(stderr) << "could not write the pictures into " << folder.absolutePath() << '\n';
    return saved ? 0 : 1;
}
