#include "ChildProcess.h"
#include "PortTraceReader.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>
#include <sys/resource.h>
#include <sys/types.h>

// One trace line: "<ns> 0x<port> <value>".
struct Write
{
    qint64 ns = 0;
    QString port;
    int value = -1;
};

// The executable opens the start-up window, ticks once two seconds later,
// measures (at least two seconds), pauses two seconds and only then loads
// the main window, whose load writes the first byte.
constexpr int HandOverTimeoutMs = 60000;

class TestExitPaths : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void signalAfterTheHandOverSwitchesOff();
    void signalBeforeTheHandOverWritesNothing_data();
    void signalBeforeTheHandOverWritesNothing();
    void fileSizeLimitEndsOnlyTheTrace();

private:
    [[nodiscard]] bool start(QProcess &process, const QString &tracePath,
                             QProcess::ProcessChannelMode channels = QProcess::ForwardedChannels);
    static QList<Write> trace(const QString &path);

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestExitPaths::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

// False, with the test failed and told why, when the child did not start.
bool TestExitPaths::start(QProcess &process, const QString &tracePath, QProcess::ProcessChannelMode channels)
{
    QProcessEnvironment env = ChildProcess::environment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("QUARNET_PORT", "virtual");
    env.insert("QUARNET_PORT_TRACE", tracePath);
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(channels);
    process.start(QUARNET_EXECUTABLE, {});
    if (process.waitForStarted())
        return true;
    QTest::qFail(qPrintable("quarnet did not start: " + ChildProcess::failure(process)), __FILE__, __LINE__);
    return false;
}

QList<Write> TestExitPaths::trace(const QString &path)
{
    const PortTraceContents trace = PortTraceReader::readFile(path);
    QList<Write> writes;
    for (const PortTraceLine &line : trace.lines) {
        const QString port = QStringLiteral("0x") + QString::number(line.port, 16).rightJustified(3, u'0');
        writes.append(Write{qint64(line.ns), port, line.value});
    }
    if (!trace.fault.isEmpty())
        writes.append(Write{}); // a torn or malformed line shows up as a bad write
    return writes;
}

// The three signals run side by side: each start-up takes some seconds.
// The main window's load writes 64; the signal's end writes 64 again, and
// nothing else may reach the port.
void TestExitPaths::signalAfterTheHandOverSwitchesOff()
{
    struct Ending
    {
        const char *name;
        int signo;
    };
    static constexpr Ending Endings[] = {{"SIGTERM", SIGTERM}, {"SIGINT", SIGINT}, {"SIGHUP", SIGHUP}};
    constexpr std::size_t Count = std::size(Endings);
    QProcess processes[Count];
    QString traces[Count];
    for (std::size_t i = 0; i < Count; ++i) {
        traces[i] = m_dir->filePath(QString::fromLatin1(Endings[i].name));
        if (!start(processes[i], traces[i]))
            return;
    }
    for (std::size_t i = 0; i < Count; ++i) {
        QTRY_VERIFY_WITH_TIMEOUT(!trace(traces[i]).isEmpty(), HandOverTimeoutMs);
        QVERIFY2(ChildProcess::signal(processes[i], Endings[i].signo),
                 qPrintable(QString::fromLatin1(Endings[i].name) + ": " + ChildProcess::failure(processes[i])));
    }
    for (std::size_t i = 0; i < Count; ++i) {
        const QByteArray which = Endings[i].name;
        // Earlier waits run the event loop: a process may have been seen ending already.
        QTRY_COMPARE_WITH_TIMEOUT(processes[i].state(), QProcess::NotRunning, 10000);
        QCOMPARE(processes[i].exitStatus(), QProcess::NormalExit);
        QCOMPARE(processes[i].exitCode(), 0);

        const QList<Write> writes = trace(traces[i]);
        QVERIFY2(writes.size() >= 2, which + ": the end wrote nothing");
        QCOMPARE(writes.first().port, QStringLiteral("0x378"));
        QCOMPARE(writes.first().value, 64);
        qint64 previous = 0;
        for (const Write &write : writes) {
            QCOMPARE(write.port, QStringLiteral("0x378"));
            QCOMPARE(write.value, 64);
            QVERIFY2(write.ns >= previous, which);
            previous = write.ns;
        }
    }
}

// Before the main window loads nothing has touched the port: a signal ends
// the process without anything being written. While the tick measures, the
// signal waits for the tick's one event pass, which comes before the load.
// The executable installs its signal handlers before it opens the trace,
// which creates the file: from the moment the file exists a signal is
// handled, however slowly the process started (qemu-user takes seconds).
void TestExitPaths::signalBeforeTheHandOverWritesNothing_data()
{
    QTest::addColumn<int>("delayMs");
    QTest::newRow("splash waiting for its tick") << 0;
    // The tick starts two seconds after the window and measures for at
    // least two more: at three seconds it is measuring or not yet started.
    QTest::newRow("during the measurement") << 3000;
}

void TestExitPaths::signalBeforeTheHandOverWritesNothing()
{
    QFETCH(int, delayMs);
    const QString tracePath = m_dir->filePath("trace");
    QProcess process;
    if (!start(process, tracePath))
        return;
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(tracePath), HandOverTimeoutMs);
    if (delayMs > 0)
        QTest::qWait(delayMs);
    QVERIFY(trace(tracePath).isEmpty());

    QVERIFY2(ChildProcess::signal(process, SIGTERM), qPrintable(ChildProcess::failure(process)));
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
    QCOMPARE(trace(tracePath).size(), 0);
}

// Under `ulimit -f 0` the main window's first write to the trace fails with
// EFBIG and brings a SIGXFSZ, whose default would kill the tool: the trace is
// given up with one line, and the tool runs on until it is ended.
void TestExitPaths::fileSizeLimitEndsOnlyTheTrace()
{
    const QString tracePath = m_dir->filePath("limited");
    QProcess process;
    process.setChildProcessModifier([] {
        const struct rlimit nothing = {0, 0};
        ::setrlimit(RLIMIT_FSIZE, &nothing);
    });
    if (!start(process, tracePath, QProcess::ForwardedOutputChannel))
        return;
    QByteArray said;
    const QByteArray givenUp = "quarnet: QUARNET_PORT_TRACE=" + QFile::encodeName(tracePath) + ": ";
    QTRY_VERIFY_WITH_TIMEOUT((said += process.readAllStandardError()).contains(givenUp)
                                 || process.state() == QProcess::NotRunning,
                             HandOverTimeoutMs);
    QCOMPARE(process.state(), QProcess::Running);

    QVERIFY2(ChildProcess::signal(process, SIGTERM), qPrintable(ChildProcess::failure(process)));
    QVERIFY(process.waitForFinished(10000));
    said += process.readAllStandardError();
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
    QCOMPARE(said.count(givenUp), 1);
    QVERIFY2(said.contains("(ulimit -f)"), said.constData());
    QCOMPARE(QFileInfo(tracePath).size(), 0);
}

QTEST_GUILESS_MAIN(TestExitPaths)
#include "tst_exitpaths.moc"
