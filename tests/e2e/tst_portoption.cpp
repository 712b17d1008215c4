#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

// The executable's command line: what it refuses before any window opens,
// and a forced USB adapter on this machine, which has none.
class tst_PortOption : public QObject
{
    Q_OBJECT

private slots:
    void refusedBeforeAnyWindow_data();
    void refusedBeforeAnyWindow();
    void helpListsTheRoutes();
    void unknownOptionPointsToHelp_data();
    void unknownOptionPointsToHelp();
    void missingAdapterToldOnceThenVirtual();
    void monitorWritesNothingOfItsOwn();

private:
    void start(QProcess &process, const QStringList &arguments, const QByteArray &environmentPort,
               const QString &tracePath = {});

    // Qt warns on stderr when the session has none; the tests count lines there.
    QTemporaryDir m_runtimeDir;
};

void tst_PortOption::start(QProcess &process, const QStringList &arguments,
                           const QByteArray &environmentPort, const QString &tracePath)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("QUARNET_PORT", QString::fromLatin1(environmentPort));
    env.insert("XDG_RUNTIME_DIR", m_runtimeDir.path());
    if (!tracePath.isEmpty())
        env.insert("QUARNET_PORT_TRACE", tracePath);
    process.setProcessEnvironment(env);
    process.start(QUARNET_EXECUTABLE, arguments);
    QVERIFY2(process.waitForStarted(), qPrintable(process.errorString()));
}

void tst_PortOption::refusedBeforeAnyWindow_data()
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

// Exit status 2 at once: the start-up window would take two seconds to tick.
void tst_PortOption::refusedBeforeAnyWindow()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, environmentPort);
    QFETCH(QString, first);
    QProcess process;
    start(process, arguments, environmentPort);
    QVERIFY(process.waitForFinished(1500));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 2);
    QCOMPARE(process.readAllStandardOutput(), QByteArray());
    const QStringList lines = QString::fromLocal8Bit(process.readAllStandardError()).trimmed().split('\n');
    QCOMPARE(lines.size(), 2);
    QVERIFY2(lines[0].startsWith(first), qPrintable(lines[0]));
    QCOMPARE(lines[1], QString("quarnet: accepted forms: auto, ppdev, direct, virtual, ftdi[:DEVICE], gpio:CHIP:L0,L1,L2,L3[,L6]"));
}

void tst_PortOption::unknownOptionPointsToHelp_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("first");
    QTest::newRow("unknown option") << QStringList{"--monitr"} << "quarnet: Unknown option 'monitr'.";
    QTest::newRow("after a window-system option") << QStringList{"-platform", "offscreen", "--frobnicate"}
                                                  << "quarnet: Unknown option 'frobnicate'.";
    QTest::newRow("beside a good --port") << QStringList{"--port", "virtual", "-z"} << "quarnet: Unknown option 'z'.";
}

// Said at once, before any window, and answered with where the options are
// listed rather than with the routes, which were not what was wrong.
void tst_PortOption::unknownOptionPointsToHelp()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, first);
    QProcess process;
    start(process, arguments, QByteArray());
    QVERIFY(process.waitForFinished(1500));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 2);
    QCOMPARE(process.readAllStandardOutput(), QByteArray());
    const QStringList lines = QString::fromLocal8Bit(process.readAllStandardError()).trimmed().split('\n');
    QCOMPARE(lines, (QStringList{first, QStringLiteral("quarnet: quarnet --help lists the options")}));
}

// No display at all: --help must not need one.
void tst_PortOption::helpListsTheRoutes()
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
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
                             "  gpio:CHIP:L0,L1,L2,L3[,L6] "})
        QVERIFY2(help.contains(QLatin1String(form)), qPrintable(help));
}

// The adapter is opened at the main window's first write: one line says it
// is missing (or that this machine gives no USB access at all), and the
// run goes on with the virtual port until SIGTERM ends it with 64 written.
void tst_PortOption::missingAdapterToldOnceThenVirtual()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString tracePath = dir.filePath("trace");
    QProcess process;
    start(process, {"--port", "ftdi"}, "ppdev", tracePath);
    QByteArray told;
    QTRY_VERIFY_WITH_TIMEOUT((told += process.readAllStandardError()).contains('\n'), 60000);
    QFile trace(tracePath);
    QTRY_VERIFY_WITH_TIMEOUT(trace.size() > 0, 5000);
    QCOMPARE(::kill(pid_t(process.processId()), SIGTERM), 0);
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);

    told += process.readAllStandardError();
    const QStringList lines = QString::fromLocal8Bit(told).trimmed().split('\n');
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines[0].startsWith("quarnet: port 0x378: USB adapter FT232R (0403:6001) or FT232H (0403:6014): "),
             qPrintable(lines[0]));
    QVERIFY2(lines[0].endsWith("; using a virtual port instead (--port ftdi)"), qPrintable(lines[0]));
    QVERIFY(trace.open(QIODevice::ReadOnly));
    const QList<QByteArray> writes = trace.readAll().trimmed().split('\n');
    QVERIFY(writes.size() >= 2);
    for (const QByteArray &write : writes)
        QVERIFY2(write.endsWith(" 0x378 64"), write.constData());
}

// With the live view open the tool writes what it writes without it: the
// main window's load, and the switch-off at SIGTERM, to the same port.
void tst_PortOption::monitorWritesNothingOfItsOwn()
{
    QList<QByteArray> traces;
    for (const QStringList &arguments : {QStringList{"--port", "virtual"}, QStringList{"--port", "virtual", "--monitor"}}) {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString tracePath = dir.filePath("trace");
        QProcess process;
        start(process, arguments, QByteArray(), tracePath);
        QFile trace(tracePath);
        QTRY_VERIFY_WITH_TIMEOUT(trace.size() > 0, 60000);
        QTest::qWait(300); // the view opens with the main window and reads a few times
        QCOMPARE(::kill(pid_t(process.processId()), SIGTERM), 0);
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

QTEST_GUILESS_MAIN(tst_PortOption)
#include "tst_portoption.moc"
