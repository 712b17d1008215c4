#include "DesktopSession.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

// The real executable on its own X display, run as root (where the priority
// can be had): its stepping thread, and its session's group, are raised
// while the motor runs and only then, and the group is given back when the
// tool closes from a run. How much speed that buys is the benchmarks'
// business; this is what the user's process and session are left with.

namespace {

const QPoint StartButton = DesktopSession::centreOf("Command1");
const QPoint ChiudiButton = DesktopSession::centreOf("Command2");
const QPoint StopButton = DesktopSession::centreOf("Command3");
const QPoint FasterButton = DesktopSession::centreOf("Command8(0)"); // "++"
constexpr int Raised = -15;

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The main thread's nice level: field 19 of its stat, after the command's ")".
int niceOf(qint64 pid)
{
    const QByteArray stat = readAll(QStringLiteral("/proc/%1/stat").arg(pid));
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 16 ? fields[16].toInt() : 99;
}

// "/autogroup-7 nice -15" -> -15; 99 without autogroups.
int groupNiceOf(const QString &process)
{
    if (readAll(QStringLiteral("/proc/sys/kernel/sched_autogroup_enabled")).trimmed() != "1")
        return 99;
    const QList<QByteArray> words = readAll(QStringLiteral("/proc/%1/autogroup").arg(process)).simplified().split(' ');
    return words.size() == 3 ? words[2].toInt() : 99;
}

} // namespace

class TestDesktopPriority : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void raisedWhileTheMotorRunsOnly();

private:
    bool m_ownSession = false;
};

// A session of its own, so that no other test's tool raises the group this
// one watches.
void TestDesktopPriority::initTestCase()
{
    if (::geteuid() != 0)
        QSKIP("needs root, where setpriority and the session's group may be raised");
    m_ownSession = ::setsid() > 0;
}

void TestDesktopPriority::raisedWhileTheMotorRunsOnly()
{
    const QString missing = DesktopSession::missingTools();
    QVERIFY2(missing.isEmpty(), qPrintable(missing));
    QTemporaryDir dir;
    const QString trace = dir.filePath(QStringLiteral("trace"));
    DesktopSession session;
    QString fault = session.startDisplay();
    if (fault.isEmpty())
        fault = session.startTool(QStringLiteral(QUARNET_EXECUTABLE), trace);
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
    QVERIFY2(DesktopSession::waitFor([&] { return QFile(trace).size() > 0; }, 90000), "no hand-over to the main window");
    fault = session.waitForMainWindow(30000);
    QVERIFY2(fault.isEmpty(), qPrintable(fault));

    const qint64 pid = session.tool().processId();
    const int group = groupNiceOf(QStringLiteral("self"));
    const bool watchGroup = m_ownSession && group != 99 && group > Raised;
    if (!watchGroup)
        qInfo("the session's group is not watched: %s", !m_ownSession ? "no session of its own" : "autogroups off");
    // The tool starts at the level it was given, the suite's own (which
    // `nice ./test` lowers), and comes back to it after each run.
    const int given = niceOf(QCoreApplication::applicationPid());
    QCOMPARE(niceOf(pid), given);

    for (int run = 0; run < 2; ++run) {
        QVERIFY(session.click(FasterButton).isEmpty());
        const qint64 before = QFile(trace).size();
        QVERIFY(session.click(StartButton).isEmpty());
        QVERIFY2(DesktopSession::waitFor([&] { return QFile(trace).size() > before; }, 10000), "the motor did not step");
        QTRY_COMPARE_WITH_TIMEOUT(niceOf(pid), Raised, 5000);
        if (watchGroup)
            QTRY_COMPARE_WITH_TIMEOUT(groupNiceOf(QString::number(pid)), Raised, 5000);
        if (run == 0) {
            QVERIFY(session.click(StopButton).isEmpty());
            QTRY_COMPARE_WITH_TIMEOUT(niceOf(pid), given, 5000);
            if (watchGroup)
                QTRY_COMPARE_WITH_TIMEOUT(groupNiceOf(QString::number(pid)), group, 5000);
        }
    }
    // "Chiudi" while it runs: the session outlives the tool, at its own level.
    QVERIFY(session.click(ChiudiButton).isEmpty());
    QVERIFY(session.tool().waitForFinished(20000));
    QCOMPARE(session.tool().exitCode(), 0);
    if (watchGroup)
        QCOMPARE(groupNiceOf(QStringLiteral("self")), group);
}

QTEST_GUILESS_MAIN(TestDesktopPriority)
#include "tst_desktoppriority.moc"
