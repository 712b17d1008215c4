#include "ChildProcess.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

// The executable's command line: what it refuses before any window opens,
// and a forced USB adapter on this machine, which has none.
class TestPortOption : public QObject
{
    Q_OBJECT

private slots:
    void refusedBeforeAnyWindow_data();
    void refusedBeforeAnyWindow();
    void helpListsTheRoutes();
    void unknownOptionPointsToHelp_data();
    void unknownOptionPointsToHelp();
    void missingAdapterToldOnceThenVirtual_data();
    void missingAdapterToldOnceThenVirtual();
    void directIoRefusedWithoutPortSpace();
    void monitorWritesNothingOfItsOwn();

private:
    void runUntilLoaded(const QStringList &arguments, const QByteArray &environmentPort, QStringList &told);
    // A refusal must come before the window system opens: where the tool
    // would open it, a platform that does not exist makes Qt abort it.
    QString m_platform = QStringLiteral("offscreen");
    [[nodiscard]] bool start(QProcess &process, const QStringList &arguments, const QByteArray &environmentPort,
               const QString &tracePath = {});

    // Qt warns on stderr when the session has none; the tests count lines there.
    QTemporaryDir m_runtimeDir;
};

// False, with the test failed and told why, when the child did not start.
bool TestPortOption::start(QProcess &process, const QStringList &arguments,
                           const QByteArray &environmentPort, const QString &tracePath)
{
    QProcessEnvironment env = ChildProcess::environment();
    env.insert("QT_QPA_PLATFORM", m_platform);
    env.insert("QUARNET_PORT", QString::fromLatin1(environmentPort));
    env.insert("XDG_RUNTIME_DIR", m_runtimeDir.path());
    if (!tracePath.isEmpty())
        env.insert("QUARNET_PORT_TRACE", tracePath);
    process.setProcessEnvironment(env);
    process.start(QUARNET_EXECUTABLE, arguments);
    if (process.waitForStarted())
        return true;
    QTest::qFail(qPrintable("quarnet did not start: " + ChildProcess::failure(process)), __FILE__, __LINE__);
    return false;
}

void TestPortOption::refusedBeforeAnyWindow_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("environmentPort");
    QTest::addColumn<QString>("first"); // how the first line starts

    QTest::newRow("unknown route") << QStringList{"--port", "lpt1"} << QByteArray()
                                   << "quarnet: --port lpt1 is refused";
    QTest::newRow("malformed device") << QStringList{"--port=ftdi:0403:6001"} << QByteArray()
                                      << "quarnet: --port ftdi:0403:6001 is refused";
    QTest::newRow("malformed environment") << QStringList{} << QByteArray("ftdi:i:0x0403")
                                           << "quarnet: QUARNET_PORT=ftdi:i:0x0403 is refused";
    QTest::newRow("unknown route in environment") << QStringList{} << QByteArray("lpt1")
                                                  << "quarnet: QUARNET_PORT=lpt1 is refused";
    QTest::newRow("malformed line set") << QStringList{"--port", "gpio:gpiochip0:17,17,27,22"} << QByteArray()
                                        << "quarnet: --port gpio:gpiochip0:17,17,27,22 is refused: line 17";
    // Qt takes its own options out first; the refusal still comes before a window.
    QTest::newRow("after a window-system option") << QStringList{"-platform", "offscreen", "--port", "lpt1"}
                                                  << QByteArray() << "quarnet: --port lpt1 is refused";
}

// Exit status 2 before the window system opens (a -platform given on the
// command line wins over the one that does not exist).
void TestPortOption::refusedBeforeAnyWindow()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, environmentPort);
    QFETCH(QString, first);
    QProcess process;
    m_platform = ChildProcess::NoWindowSystem;
    const bool started = start(process, arguments, environmentPort);
    m_platform = QStringLiteral("offscreen");
    if (!started)
        return;
    QVERIFY(process.waitForFinished(ChildProcess::RefusalBoundMs));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 2);
    QCOMPARE(process.readAllStandardOutput(), QByteArray());
    const QStringList lines = QString::fromLocal8Bit(process.readAllStandardError()).trimmed().split('\n');
    QCOMPARE(lines.size(), 2);
    QVERIFY2(lines[0].startsWith(first), qPrintable(lines[0]));
    QCOMPARE(lines[1], QString("quarnet: accepted forms: auto, ppdev, direct, virtual, ftdi[:DEVICE], gpio:[CHIP:]L0,L1,L2,L3[,L6]"));
}

void TestPortOption::unknownOptionPointsToHelp_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("first");
    QTest::newRow("unknown option") << QStringList{"--monitr"} << "quarnet: Unknown option 'monitr'.";
    QTest::newRow("after a window-system option") << QStringList{"-platform", "offscreen", "--frobnicate"}
                                                  << "quarnet: Unknown option 'frobnicate'.";
    QTest::newRow("beside a good --port") << QStringList{"--port", "virtual", "-z"} << "quarnet: Unknown option 'z'.";
}

// Said before any window (once Qt has taken out its own options, which an
// unknown one may be), and answered with where the options are
// listed rather than with the routes, which were not what was wrong.
void TestPortOption::unknownOptionPointsToHelp()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, first);
    QProcess process;
    if (!start(process, arguments, QByteArray()))
        return;
    QVERIFY(process.waitForFinished(ChildProcess::RefusalBoundMs));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 2);
    QCOMPARE(process.readAllStandardOutput(), QByteArray());
    const QStringList lines = QString::fromLocal8Bit(process.readAllStandardError()).trimmed().split('\n');
    QCOMPARE(lines, (QStringList{first, QStringLiteral("quarnet: quarnet --help lists the options")}));
}

// No display at all: --help must not need one.
void TestPortOption::helpListsTheRoutes()
{
    QProcess process;
    QProcessEnvironment env = ChildProcess::environment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.insert("QT_QPA_PLATFORM", "xcb");
    process.setProcessEnvironment(env);
    process.start(QUARNET_EXECUTABLE, {"--help"});
    QVERIFY(process.waitForFinished(5000));
    QCOMPARE(process.exitCode(), 0);
    const QString help = QString::fromLocal8Bit(process.readAllStandardOutput());
    // Qt names the program only once an application object exists.
    QVERIFY2(help.startsWith(QLatin1String("Usage: quarnet [options]")), qPrintable(help));
    for (const char *form : {"--port <ROUTE>", "  auto ", "  ppdev ", "  direct ", "  virtual ", "  ftdi[:DEVICE] ",
                             "  gpio:[CHIP:]L0,L1,L2,L3[,L6] "})
        QVERIFY2(help.contains(QLatin1String(form)), qPrintable(help));
}

// Runs the executable with the route given until the main window's load has
// written, ends it with SIGTERM, and checks that every write went to the
// virtual port as 64. `told` gets what it said on standard error, a line each.
void TestPortOption::runUntilLoaded(const QStringList &arguments, const QByteArray &environmentPort,
                                    QStringList &told)
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString tracePath = dir.filePath("trace");
    QProcess process;
    if (!start(process, arguments, environmentPort, tracePath))
        return;
    QByteArray said;
    QTRY_VERIFY_WITH_TIMEOUT((said += process.readAllStandardError()).contains('\n'), 60000);
    QFile trace(tracePath);
    QTRY_VERIFY_WITH_TIMEOUT(trace.size() > 0, 5000);
    QVERIFY2(ChildProcess::signal(process, SIGTERM), qPrintable(ChildProcess::failure(process)));
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);

    said += process.readAllStandardError();
    told = QString::fromLocal8Bit(said).trimmed().split('\n');
    QVERIFY(trace.open(QIODevice::ReadOnly));
    const QList<QByteArray> writes = trace.readAll().trimmed().split('\n');
    QVERIFY(writes.size() >= 2);
    for (const QByteArray &write : writes)
        QVERIFY2(write.endsWith(" 0x378 64"), write.constData());
}

void TestPortOption::missingAdapterToldOnceThenVirtual_data()
{
    QTest::addColumn<QString>("route");
    QTest::addColumn<QString>("tried");

    QTest::newRow("the one plugged in") << "ftdi" << "USB adapter FT232R (0403:6001) or FT232H (0403:6014): ";
    // Bus 1's device 1 is its root hub wherever there is USB: refused from
    // its descriptor, like any device that is no adapter.
    QTest::newRow("a root hub by bus and device") << "ftdi:d:001/001" << "USB adapter ftdi:d:001/001: ";
}

// The adapter is opened at the main window's first write: one line says it
// is missing, is no adapter, or that this machine gives no USB access at
// all, and the run goes on with the virtual port until SIGTERM ends it
// with 64 written.
void TestPortOption::missingAdapterToldOnceThenVirtual()
{
    QFETCH(QString, route);
    QFETCH(QString, tried);
    QStringList lines;
    runUntilLoaded({"--port", route}, "ppdev", lines);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines[0].startsWith("quarnet: port 0x378: " + tried), qPrintable(lines[0]));
    QVERIFY2(lines[0].endsWith("; using a virtual port instead (--port " + route + ")"), qPrintable(lines[0]));
    QVERIFY2(lines[0].contains("libusb could not start") || lines[0].contains("not found")
                 || lines[0].contains("001/001 is 1d6b:"),
             qPrintable(lines[0]));
}

// Only x86 processors have I/O ports. Elsewhere (a Raspberry Pi) the direct
// route is there to be asked for, and says in one line that it cannot be.
void TestPortOption::directIoRefusedWithoutPortSpace()
{
#if defined(__x86_64__) || defined(__i386__)
    QSKIP("this processor has I/O ports: the direct route would really write (the arm64 stage runs this)");
#else
    QStringList lines;
    runUntilLoaded({"--port", "direct"}, QByteArray(), lines);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines[0].startsWith("quarnet: port 0x378: "), qPrintable(lines[0]));
    QVERIFY2(lines[0].contains("direct port I/O is not available on this system"), qPrintable(lines[0]));
    QVERIFY2(lines[0].contains("using a virtual port instead"), qPrintable(lines[0]));
#endif
}

// With the live view open the tool writes what it writes without it: the
// main window's load, and the switch-off at SIGTERM, to the same port.
void TestPortOption::monitorWritesNothingOfItsOwn()
{
    QList<QByteArray> traces;
    for (const QStringList &arguments : {QStringList{"--port", "virtual"}, QStringList{"--port", "virtual", "--monitor"}}) {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString tracePath = dir.filePath("trace");
        QProcess process;
        if (!start(process, arguments, QByteArray(), tracePath))
            return;
        QFile trace(tracePath);
        QTRY_VERIFY_WITH_TIMEOUT(trace.size() > 0, 60000);
        QTest::qWait(300); // the view opens with the main window and reads a few times
        QVERIFY2(ChildProcess::signal(process, SIGTERM), qPrintable(ChildProcess::failure(process)));
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
        QVERIFY(trace.open(QIODevice::ReadOnly));
        QByteArray writes;
        for (const QByteArray &line : trace.readAll().trimmed().split('\n'))
            writes += line.mid(line.indexOf(' ') + 1) + '\n'; // without the time
        traces << writes;
    }
    QCOMPARE(traces[1], traces[0]);
    QCOMPARE(traces[0], QByteArray("0x378 64\n0x378 64\n"));
}

QTEST_GUILESS_MAIN(TestPortOption)
#include "tst_portoption.moc"
