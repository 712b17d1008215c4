#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>
#include <sys/types.h>

// One trace line: "<ns> 0x<port> <value>".
struct Write
{
    qint64 ns = 0;
    QString port;
    int value = -1;
};

class tst_ExitPaths : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void signalAtTheMainWindowSwitchesOff_data();
    void signalAtTheMainWindowSwitchesOff();
    void signalDuringMeasurementWritesNothing();

private:
    void start(QProcess &process);
    QList<Write> trace() const;

    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_ExitPaths::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void tst_ExitPaths::start(QProcess &process)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("QUARNET_PORT", "virtual");
    env.insert("QUARNET_PORT_TRACE", m_dir->filePath("trace"));
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(QUARNET_EXECUTABLE, {});
    QVERIFY2(process.waitForStarted(), qPrintable(process.errorString()));
}

QList<Write> tst_ExitPaths::trace() const
{
    QFile file(m_dir->filePath("trace"));
    QList<Write> writes;
    if (!file.open(QIODevice::ReadOnly))
        return writes;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (const QByteArray &line : lines) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() == 3)
            writes.append(Write{fields[0].toLongLong(), QString::fromLatin1(fields[1]), fields[2].toInt()});
        else if (!line.isEmpty())
            writes.append(Write{}); // a torn or malformed line shows up as a bad write
    }
    return writes;
}

void tst_ExitPaths::signalAtTheMainWindowSwitchesOff_data()
{
    QTest::addColumn<int>("signo");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
    QTest::newRow("SIGHUP") << int(SIGHUP);
}

void tst_ExitPaths::signalAtTheMainWindowSwitchesOff()
{
    QFETCH(int, signo);
    QProcess process;
    start(process);
    // The main window's load writes 64 once: from then on the window is up.
    QTRY_VERIFY_WITH_TIMEOUT(!trace().isEmpty(), 30000);

    QCOMPARE(::kill(pid_t(process.processId()), signo), 0);
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);

    const QList<Write> writes = trace();
    QVERIFY2(writes.size() >= 2, "the end wrote nothing");
    qint64 previous = 0;
    for (const Write &write : writes) {
        QCOMPARE(write.port, QStringLiteral("0x378"));
        QCOMPARE(write.value, 64);
        QVERIFY(write.ns >= previous);
        previous = write.ns;
    }
}

// Before the main window loads nothing has touched the port, and a signal
// must end the process without the window ever writing.
void tst_ExitPaths::signalDuringMeasurementWritesNothing()
{
    QProcess process;
    start(process);
    // Long enough for the handlers to be in place, well inside the ~2.5 s
    // measurement.
    QTest::qWait(700);
    if (!trace().isEmpty())
        QSKIP("the main window was up before the signal could be sent");

    QCOMPARE(::kill(pid_t(process.processId()), SIGTERM), 0);
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
    QCOMPARE(trace().size(), 0);
}

QTEST_GUILESS_MAIN(tst_ExitPaths)
#include "tst_exitpaths.moc"
