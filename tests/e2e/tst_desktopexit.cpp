#include "ChildProcess.h"
#include "DesktopSession.h"
#include "PortTraceReader.h"

#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <csignal>
#include <sys/resource.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

// The real executable on its own X display, ended every way a user, the
// desktop or the system can end it, with the motor idle and running. Each
// way must leave 64 as the last byte on the port and a complete trace.

namespace {

// Killed: a signal no process can handle, or a crash's, whose default
// action ends it at once; only the guardian can switch the windings off.
enum class Ending { Chiudi, FrameClose, Signal, Killed, DisplayGone };

struct Row
{
    const char *name;
    Ending ending;
    int signo;
    bool running;
};

static constexpr Row Rows[] = {
    {"Chiudi, idle", Ending::Chiudi, 0, false},
    {"Chiudi, running", Ending::Chiudi, 0, true},
    {"frame close, idle", Ending::FrameClose, 0, false},
    {"frame close, running", Ending::FrameClose, 0, true},
    {"SIGINT, running", Ending::Signal, SIGINT, true},
    {"SIGTERM, running", Ending::Signal, SIGTERM, true},
    {"SIGHUP, running", Ending::Signal, SIGHUP, true},
    {"SIGQUIT, running", Ending::Signal, SIGQUIT, true},
    {"SIGUSR1, running", Ending::Signal, SIGUSR1, true},
    {"SIGUSR2, running", Ending::Signal, SIGUSR2, true},
    {"SIGALRM, running", Ending::Signal, SIGALRM, true},
    {"SIGPWR, running", Ending::Signal, SIGPWR, true},
    {"SIGXCPU, running", Ending::Signal, SIGXCPU, true},
    {"SIGKILL, running", Ending::Killed, SIGKILL, true},
    {"SIGSEGV, running", Ending::Killed, SIGSEGV, true},
    {"SIGABRT, running", Ending::Killed, SIGABRT, true},
    {"display gone, idle", Ending::DisplayGone, 0, false},
    {"display gone, running", Ending::DisplayGone, 0, true},
};
constexpr std::size_t RowCount = std::size(Rows);

const QPoint StartButton = DesktopSession::centreOf("Command1");
const QPoint ChiudiButton = DesktopSession::centreOf("Command2");
const QPoint FasterButton = DesktopSession::centreOf("Command8(0)"); // "++"

// A batch of sessions starts at once on a small machine: each start-up
// measures the loop rate with a busy loop, so they share the cores for a while.
constexpr std::size_t SessionsAtOnce = 8;
constexpr int HandOverTimeoutMs = 90000;
constexpr int StepsBeforeEnding = 6;
static constexpr int FullCycle[] = {68, 66, 72, 65};

// The trace's bytes, or what is wrong with it: every line must be
// "<ns> 0x378 <value>" with non-decreasing times and end with its newline.
struct Trace
{
    QList<int> bytes;
    QString fault;
};

Trace readTrace(const QString &path)
{
    const PortTraceContents read = PortTraceReader::readFile(path);
    Trace trace;
    std::uint64_t previous = 0;
    for (const PortTraceLine &line : read.lines) {
        if (line.port != 0x378 || line.ns < previous) {
            trace.fault = QStringLiteral("bad line: %1 0x%2 %3").arg(line.ns).arg(line.port, 0, 16).arg(line.value);
            return trace;
        }
        previous = line.ns;
        trace.bytes.append(line.value);
    }
    trace.fault = read.fault;
    return trace;
}

// The process's state as the kernel shows it: 'T' while it is stopped.
char processState(const QProcess &process)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(process.processId()));
    if (process.processId() <= 0 || !stat.open(QIODevice::ReadOnly))
        return '?';
    const QByteArray text = stat.readAll();
    const qsizetype close = text.lastIndexOf(')');
    return close >= 0 && close + 2 < text.size() ? text[close + 2] : '?';
}

QString bytesText(const QList<int> &bytes)
{
    QStringList parts;
    for (int b : bytes)
        parts.append(QString::number(b));
    return parts.join(QLatin1Char(' '));
}

} // namespace

class TestDesktopExit : public QObject
{
    Q_OBJECT

private slots:
    void everyEndingSwitchesOff();
    void stopSignalSwitchesOffUntilContinued();
    void pipeAsTraceIsRefusedAtOnce();

private:
    static QString startRunning(DesktopSession &session, const QString &tracePath);
    static QString drive(DesktopSession &session, const Row &row, const QString &tracePath);
    static QString verify(DesktopSession &session, const Row &row, const QString &tracePath);
    static QString endedCleanly(DesktopSession &session);
};

// Up to the main window shown, "++" and "Start" clicked and some steps made.
QString TestDesktopExit::startRunning(DesktopSession &session, const QString &tracePath)
{
    if (!DesktopSession::waitFor([&] { return !readTrace(tracePath).bytes.isEmpty(); }, HandOverTimeoutMs))
        return QStringLiteral("no hand-over to the main window");
    QString fault = session.waitForMainWindow(30000);
    // At one step a second a full cycle takes four seconds: 11 a second.
    if (fault.isEmpty())
        fault = session.click(FasterButton);
    if (fault.isEmpty())
        fault = session.click(StartButton);
    if (!fault.isEmpty())
        return fault;
    if (!DesktopSession::waitFor([&] { return readTrace(tracePath).bytes.size() > StepsBeforeEnding; }, 30000))
        return QStringLiteral("the motor did not step: ") + bytesText(readTrace(tracePath).bytes);
    return {};
}

QString TestDesktopExit::endedCleanly(DesktopSession &session)
{
    QProcess &tool = session.tool();
    if (!DesktopSession::waitFor([&] { return tool.state() == QProcess::NotRunning; }, 20000))
        return QStringLiteral("still running");
    if (tool.exitStatus() != QProcess::NormalExit)
        return QStringLiteral("killed by its ending");
    if (tool.exitCode() != 0)
        return QStringLiteral("exit code %1").arg(tool.exitCode());
    return {};
}

// Up to the motor running and the ending itself.
QString TestDesktopExit::drive(DesktopSession &session, const Row &row, const QString &tracePath)
{
    QString fault;
    if (row.running) {
        fault = startRunning(session, tracePath);
    } else if (!DesktopSession::waitFor([&] { return !readTrace(tracePath).bytes.isEmpty(); }, HandOverTimeoutMs)) {
        fault = QStringLiteral("no hand-over to the main window");
    } else {
        fault = session.waitForMainWindow(30000);
    }
    if (!fault.isEmpty())
        return fault;
    switch (row.ending) {
    case Ending::Chiudi:
        return session.click(ChiudiButton);
    case Ending::FrameClose:
        return session.closeFrame(QStringLiteral(QUARNET_XDELETEWINDOW));
    case Ending::Signal:
    case Ending::Killed:
        if (!ChildProcess::signal(session.tool(), row.signo))
            return QStringLiteral("the signal could not be sent: ") + ChildProcess::failure(session.tool());
        return {};
    case Ending::DisplayGone:
        session.endDisplay();
        return {};
    }
    return {};
}

QString TestDesktopExit::verify(DesktopSession &session, const Row &row, const QString &tracePath)
{
    QProcess &tool = session.tool();
    if (!DesktopSession::waitFor([&] { return tool.state() == QProcess::NotRunning; }, 20000))
        return QStringLiteral("still running");
    if (row.ending == Ending::Killed) {
        // Killed by the signal, or (under AddressSanitizer, which reports a
        // SIGSEGV itself) ended by its handler: never the tool's own clean end.
        if (tool.exitStatus() != QProcess::CrashExit && tool.exitCode() == 0)
            return QStringLiteral("not ended by its signal");
        // The guardian writes once the process has gone, a moment after.
        DesktopSession::waitFor(
            [&] {
                const QList<int> bytes = readTrace(tracePath).bytes;
                return !bytes.isEmpty() && bytes.last() == 64;
            },
            10000);
    } else if (tool.exitStatus() != QProcess::NormalExit) {
        return QStringLiteral("killed by its ending");
    } else if (row.ending != Ending::DisplayGone && tool.exitCode() != 0) {
        // The display going away ends the process through Qt's own exit(1);
        // every other ending is the tool's own and ends it cleanly.
        return QStringLiteral("exit code %1").arg(tool.exitCode());
    }

    const Trace trace = readTrace(tracePath);
    if (!trace.fault.isEmpty())
        return trace.fault;
    const QList<int> &bytes = trace.bytes;
    const QString seen = QStringLiteral(": ") + bytesText(bytes);
    if (bytes.size() < 2 || bytes.first() != 64 || bytes.last() != 64)
        return QStringLiteral("not 64 first and last, or no write at the end") + seen;
    if (row.running && bytes.size() < StepsBeforeEnding + 2)
        return QStringLiteral("too few steps") + seen;
    // Mode "Full" from the first step on, until the ending's 64.
    for (qsizetype i = 1; i + 1 < bytes.size(); ++i) {
        const int expected = row.running ? FullCycle[(i - 1) % 4] : 64;
        if (bytes[i] != expected)
            return QStringLiteral("byte %1 is not %2").arg(i).arg(expected) + seen;
    }
    return {};
}

// The sessions of a batch start together, so their start-ups overlap; the
// motors then run one at a time, each ended before the next starts.
void TestDesktopExit::everyEndingSwitchesOff()
{
    // The crashes asked for leave no core files behind.
    const rlimit noCore{0, 0};
    QCOMPARE(::setrlimit(RLIMIT_CORE, &noCore), 0);
    const QString missing = DesktopSession::missingTools();
    QVERIFY2(missing.isEmpty(), qPrintable(missing));
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QStringList faults;
    for (std::size_t first = 0; first < RowCount; first += SessionsAtOnce) {
        const std::size_t end = std::min(RowCount, first + SessionsAtOnce);
        std::unique_ptr<DesktopSession> sessions[SessionsAtOnce];
        QString traces[SessionsAtOnce];
        for (std::size_t i = first; i < end; ++i) {
            sessions[i - first] = std::make_unique<DesktopSession>();
            traces[i - first] = dir.filePath(QStringLiteral("trace%1").arg(i));
            QString fault = sessions[i - first]->startDisplay();
            if (fault.isEmpty())
                fault = sessions[i - first]->startTool(QStringLiteral(QUARNET_EXECUTABLE), traces[i - first]);
            QVERIFY2(fault.isEmpty(), qPrintable(fault));
        }
        for (std::size_t i = first; i < end; ++i) {
            const QString fault = drive(*sessions[i - first], Rows[i], traces[i - first]);
            if (!fault.isEmpty())
                faults.append(QString::fromLatin1(Rows[i].name) + QStringLiteral(": ") + fault);
        }
        for (std::size_t i = first; i < end; ++i) {
            const QString fault = verify(*sessions[i - first], Rows[i], traces[i - first]);
            if (!fault.isEmpty())
                faults.append(QString::fromLatin1(Rows[i].name) + QStringLiteral(": ") + fault);
        }
    }
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
}

// Ctrl-Z in a terminal: the process stops with every winding off, and once
// continued the run goes on from the step it had reached, until "Chiudi".
void TestDesktopExit::stopSignalSwitchesOffUntilContinued()
{
    const QString missing = DesktopSession::missingTools();
    QVERIFY2(missing.isEmpty(), qPrintable(missing));
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString tracePath = dir.filePath(QStringLiteral("trace"));
    DesktopSession session;
    QString fault = session.startDisplay();
    if (fault.isEmpty())
        fault = session.startTool(QStringLiteral(QUARNET_EXECUTABLE), tracePath);
    if (fault.isEmpty())
        fault = startRunning(session, tracePath);
    QVERIFY2(fault.isEmpty(), qPrintable(fault));

    QVERIFY(ChildProcess::signal(session.tool(), SIGTSTP));
    QVERIFY2(DesktopSession::waitFor([&] { return processState(session.tool()) == 'T'; }, 20000),
             "the process did not stop");
    const Trace stopped = readTrace(tracePath);
    QVERIFY2(stopped.fault.isEmpty(), qPrintable(stopped.fault));
    QVERIFY2(stopped.bytes.last() == 64, qPrintable(QStringLiteral("stopped with ") + bytesText(stopped.bytes)));
    const qsizetype stopAt = stopped.bytes.size() - 1;

    QVERIFY(ChildProcess::signal(session.tool(), SIGCONT));
    QVERIFY2(DesktopSession::waitFor([&] { return readTrace(tracePath).bytes.size() > stopAt + StepsBeforeEnding; },
                                     30000),
             qPrintable(QStringLiteral("no steps after SIGCONT: ") + bytesText(readTrace(tracePath).bytes)));
    fault = session.click(ChiudiButton);
    if (fault.isEmpty())
        fault = endedCleanly(session);
    QVERIFY2(fault.isEmpty(), qPrintable(fault));

    const Trace trace = readTrace(tracePath);
    QVERIFY2(trace.fault.isEmpty(), qPrintable(trace.fault));
    const QList<int> &bytes = trace.bytes;
    const QByteArray seen = bytesText(bytes).toLatin1();
    QVERIFY2(bytes.first() == 64 && bytes.last() == 64, seen);
    // "Full" from the first step; the stop's 64 sits between two steps that
    // follow each other in the cycle.
    for (qsizetype i = 1; i + 1 < bytes.size(); ++i) {
        const int expected = i < stopAt ? FullCycle[(i - 1) % 4] : i == stopAt ? 64 : FullCycle[(i - 2) % 4];
        QVERIFY2(bytes[i] == expected, seen + QByteArray(" at byte ") + QByteArray::number(i));
    }
}

// A trace path that is a named pipe nobody reads must neither hold up the
// start (opening it to write would wait for a reader) nor get a byte.
void TestDesktopExit::pipeAsTraceIsRefusedAtOnce()
{
    const QString missing = DesktopSession::missingTools();
    QVERIFY2(missing.isEmpty(), qPrintable(missing));
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString pipePath = dir.filePath(QStringLiteral("pipe"));
    QCOMPARE(::mkfifo(QFile::encodeName(pipePath).constData(), 0600), 0);
    DesktopSession session;
    QString fault = session.startDisplay();
    if (fault.isEmpty())
        fault = session.startTool(QStringLiteral(QUARNET_EXECUTABLE), pipePath);
    if (fault.isEmpty())
        fault = session.waitForMainWindow(HandOverTimeoutMs);
    if (fault.isEmpty())
        fault = session.click(ChiudiButton);
    if (fault.isEmpty())
        fault = endedCleanly(session);
    QVERIFY2(fault.isEmpty(), qPrintable(fault));

    struct stat after;
    QCOMPARE(::stat(QFile::encodeName(pipePath).constData(), &after), 0);
    QVERIFY(S_ISFIFO(after.st_mode));
    const int reader = ::open(QFile::encodeName(pipePath).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    QVERIFY(reader >= 0);
    char byte;
    const ssize_t got = ::read(reader, &byte, 1);
    ::close(reader);
    QCOMPARE(got, ssize_t(0));
}

QTEST_GUILESS_MAIN(TestDesktopExit)
#include "tst_desktopexit.moc"
