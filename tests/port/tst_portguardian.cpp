#include "ChildProcess.h"
#include "PortTraceReader.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <sys/prctl.h>
#include <sys/wait.h>

// The guardian a real process forks, watched from outside: after the
// process dies with a winding on, the trace (what the virtual port saw)
// must end with each such port's off byte, written by the guardian alone.
class TestPortGuardian : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void switchesOffWhatTheToolLeftOn_data();
    void switchesOffWhatTheToolLeftOn();
    void toldOnceWhenTheGuardianGoes();

private:
    struct Run
    {
        QByteArray stdErr;
        qint64 guardian = 0;
        QString fault;
    };
    static Run run(const QString &trace, const QString &ending, const QStringList &writes);
    static bool reaped(qint64 pid);
};

// Orphans of our children come to us, so that the guardian can be waited
// for once the process it guards is gone, whatever init does here.
void TestPortGuardian::initTestCase()
{
    QCOMPARE(::prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0), 0);
}

TestPortGuardian::Run TestPortGuardian::run(const QString &trace, const QString &ending,
                                             const QStringList &writes)
{
    Run result;
    QProcess child;
    child.setProcessEnvironment(ChildProcess::environment());
    child.start(QStringLiteral(PORT_GUARDIAN_CHILD), QStringList{trace, ending} + writes);
    if (!child.waitForStarted()) {
        result.fault = QStringLiteral("did not start: ") + child.errorString();
        return result;
    }
    if (!child.waitForReadyRead(30000)) {
        result.fault = QStringLiteral("never ready: ") + ChildProcess::failure(child);
        return result;
    }
    const QByteArray ready = child.readLine().trimmed();
    if (!ready.startsWith("ready ")) {
        result.fault = QStringLiteral("said: ") + QString::fromLocal8Bit(ready);
        return result;
    }
    result.guardian = ready.mid(6).toLongLong();
    if (ending == QLatin1String("watch") && result.guardian > 0)
        ::kill(pid_t(result.guardian), SIGKILL);
    if (!child.waitForFinished(30000))
        result.fault = QStringLiteral("did not end");
    result.stdErr = child.readAllStandardError();
    return result;
}

// True once `pid`, a guardian adopted by this process, has ended and been reaped.
bool TestPortGuardian::reaped(qint64 pid)
{
    const pid_t got = ::waitpid(pid_t(pid), nullptr, WNOHANG);
    return got == pid_t(pid) || (got < 0 && errno == ECHILD);
}

void TestPortGuardian::switchesOffWhatTheToolLeftOn_data()
{
    QTest::addColumn<QString>("ending");
    QTest::addColumn<QStringList>("writes");
    QTest::addColumn<QStringList>("expected"); // the whole trace, "port=value"

    // The tool's own writes come first; what follows them is the guardian's.
    QTest::newRow("SIGKILL, one winding on")
        << "kill" << QStringList{"378=64", "378=65"} << QStringList{"378=64", "378=65", "378=64"};
    QTest::newRow("abort, two windings on (Half)")
        << "abort" << QStringList{"378=64", "378=70"} << QStringList{"378=64", "378=70", "378=64"};
    QTest::newRow("SIGKILL after switching off: nothing more")
        << "kill" << QStringList{"378=64", "378=65", "378=64"} << QStringList{"378=64", "378=65", "378=64"};
    QTest::newRow("_exit after switching off: nothing more")
        << "_exit" << QStringList{"378=64", "378=72", "378=64"} << QStringList{"378=64", "378=72", "378=64"};
    QTest::newRow("_exit with a winding on")
        << "_exit" << QStringList{"378=64", "378=66"} << QStringList{"378=64", "378=66", "378=64"};
    // The address box followed from port to port: each left on is switched
    // off, in port order; one already off is left alone.
    QTest::newRow("SIGKILL, two ports left on")
        << "kill" << QStringList{"378=65", "278=68", "3bc=65", "3bc=64"}
        << QStringList{"378=65", "278=68", "3bc=65", "3bc=64", "278=64", "378=64"};
    // Only the phase lines go off: bits 4 to 7 keep what the tool wrote.
    QTest::newRow("phase lines only")
        << "kill" << QStringList{"378=5", "3bc=250"} << QStringList{"378=5", "3bc=250", "378=0", "3bc=240"};
    QTest::newRow("nothing written, nothing to do") << "kill" << QStringList{} << QStringList{};
}

void TestPortGuardian::switchesOffWhatTheToolLeftOn()
{
    QFETCH(QString, ending);
    QFETCH(QStringList, writes);
    QFETCH(QStringList, expected);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString trace = dir.filePath(QStringLiteral("trace"));

    const Run result = run(trace, ending, writes);
    QVERIFY2(result.fault.isEmpty(), qPrintable(result.fault));
    QVERIFY2(result.guardian > 0, result.stdErr.constData());
    QTRY_VERIFY_WITH_TIMEOUT(reaped(result.guardian), 30000);

    const PortTraceContents contents = PortTraceReader::readFile(trace);
    QVERIFY2(contents.fault.isEmpty(), qPrintable(contents.fault));
    QStringList seen;
    for (const PortTraceLine &line : contents.lines)
        seen << QString::number(line.port, 16) + QLatin1Char('=') + QString::number(line.value);
    QCOMPARE(seen, expected);
    QVERIFY2(!result.stdErr.contains("guardian"), result.stdErr.constData());
}

// A guardian killed while the tool runs is said once; the tool goes on.
void TestPortGuardian::toldOnceWhenTheGuardianGoes()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const Run result = run(dir.filePath(QStringLiteral("trace")), QStringLiteral("watch"), {"378=65"});
    QVERIFY2(result.fault.isEmpty(), qPrintable(result.fault));
    QVERIFY(result.guardian > 0);
    const QList<QByteArray> lines = result.stdErr.trimmed().split('\n');
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines.first().contains("guardian") && lines.first().contains("signal 9"), lines.first().constData());
}

QTEST_GUILESS_MAIN(TestPortGuardian)
#include "tst_portguardian.moc"
