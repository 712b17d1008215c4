#include "DesktopShell.h"
#include "DriveState.h"
#include "Form1.h"
#include "IMonotonicClock.h"
#include "PortAccess.h"
#include "ProcessControl.h"
#include "PortTraceReader.h"
#include "QtEventPump.h"
#include "SignalBridge.h"
#include "SteadyClock.h"

#include <QFile>
#include <QScopeGuard>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

// While the motor runs, the event loop turns only through the run loop's
// pump. A termination signal must still reach the window there, stop the
// stepping and leave 64 on the port. The motor runs in a forked child wired
// as the executable wires it; the parent sends the real signal and reads the
// port's trace.

namespace {

[[noreturn]] void runMotorUntilSignalled(const QString &tracePath)
{
    ProcessControl process;
    SignalBridge termination;
    PortAccessOptions options;
    options.mode = PortMode::Virtual;
    options.tracePath = tracePath;
    PortAccess port(options);
    process.setShutdownAction([&port] { port.shutdown(); });

    DriveState state;
    state.LoopsPerSec = 2000.0; // a poor start-up figure: the clock paces the steps all the same
    QtEventPump pump;
    DesktopShell shell;
    SteadyClock clock;
    Form1 form(state, port, pump, clock, process, shell);
    QObject::connect(&termination, &SignalBridge::terminationRequested, &form, &Form1::closeProgram);
    state.StepSec = 32767; // many steps before the signal comes
    form.show();
    QTimer::singleShot(0, form.controls().get<QPushButton>("Command1"), &QPushButton::click);
    QCoreApplication::exec();
    ::_exit(3); // the loop ended without the window ending the process
}

QList<int> tracedBytes(const QString &path)
{
    const PortTraceContents trace = PortTraceReader::readFile(path);
    QList<int> bytes;
    for (const PortTraceLine &line : trace.lines)
        bytes.append(line.port == 0x378 ? line.value : -1);
    if (!trace.fault.isEmpty())
        bytes.append(-1);
    return bytes;
}

} // namespace

class TestRunningExit : public QObject
{
    Q_OBJECT

private slots:
    void signalWhileRunningSwitchesOff_data();
    void signalWhileRunningSwitchesOff();
};

void TestRunningExit::signalWhileRunningSwitchesOff_data()
{
    QTest::addColumn<int>("signo");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
    QTest::newRow("SIGHUP") << int(SIGHUP);
}

void TestRunningExit::signalWhileRunningSwitchesOff()
{
    QFETCH(int, signo);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString tracePath = dir.filePath("trace");

    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0)
        runMotorUntilSignalled(tracePath);
    // A child that is still stepping when the test gives up is ended for good.
    const auto reap = qScopeGuard([child] {
        if (::waitpid(child, nullptr, WNOHANG) == 0) {
            ::kill(child, SIGKILL);
            ::waitpid(child, nullptr, 0);
        }
    });

    // The load's 64 and then steps: the motor is running.
    QTRY_VERIFY_WITH_TIMEOUT(tracedBytes(tracePath).size() > 20, 10000);
    QCOMPARE(::kill(child, signo), 0);
    int status = 0;
    bool ended = false;
    const auto reaped = [&] { return ended = ended || ::waitpid(child, &status, WNOHANG) == child; };
    QTRY_VERIFY_WITH_TIMEOUT(reaped(), 10000);
    QVERIFY2(WIFEXITED(status), "the signal killed the process");
    QCOMPARE(WEXITSTATUS(status), 0);

    const QList<int> bytes = tracedBytes(tracePath);
    QCOMPARE(bytes.first(), 64);
    QCOMPARE(bytes.last(), 64);
    // Mode "Full" from the first step on: 68, 66, 72, 65, ... until the end.
    static constexpr int FullCycle[] = {65, 68, 66, 72};
    for (qsizetype i = 1; i + 1 < bytes.size(); ++i)
        QCOMPARE(bytes[i], FullCycle[i % 4]);
}

QTEST_MAIN(TestRunningExit)
#include "tst_runningexit.moc"
