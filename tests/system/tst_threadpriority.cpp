#include "KernelScheduling.h"
#include "ThreadPrioritySupport.h"

#include <QFile>
#include <QTest>
#include <unistd.h>

class TestThreadPriority : public QObject
{
    Q_OBJECT
private slots:
    void waysInOrder_data();
    void waysInOrder();
    void givesBackTheLevelTheThreadHad();
    void leavesAHigherLevelAlone();
    void oneMessageForARefusal_data();
    void oneMessageForARefusal();
    void busThatDoesNotAnswerCountsAsNo();
    void grantThatDoesNotAnswerInTimeIsUndoneAfterTheRun();
    void grantAfterTheRunEndedIsUndone();
    void laterRefusalAfterAGrantIsAboutThatRunOnly();
    void sessionGroupRaisedWithTheThread_data();
    void sessionGroupRaisedWithTheThread();
    void kernelTooSoonIsWaitedOut();
    void runStartedBeforeTheGroupWasGivenBackKeepsIt();
    void groupGivenBackBeforeExit();
    void groupRefusedIsNotAskedAgain();
    void kernelReadsTheSessionGroup();
};

void TestThreadPriority::waysInOrder_data()
{
    QTest::addColumn<int>("floor");      // setpriority's
    QTest::addColumn<int>("limitFloor"); // RLIMIT_NICE's
    QTest::addColumn<int>("kitMinNice"); // 1: RealtimeKit missing
    QTest::addColumn<QStringList>("atLoad");
    QTest::addColumn<QStringList>("kitAsked");
    QTest::addColumn<int>("runNice");

    QTest::newRow("root or CAP_SYS_NICE") << -20 << 20 << 1 << QStringList{"4242:-15", "4242:0"} << QStringList{}
                                          << -15;
    QTest::newRow("limits.d allows -15") << -15 << -15 << 1 << QStringList{"4242:-15", "4242:0"} << QStringList{}
                                         << -15;
    QTest::newRow("limits.d allows only -10, before RealtimeKit")
        << -10 << -10 << -15 << QStringList{"4242:-15", "4242:-10", "4242:0"} << QStringList{} << -10;
    QTest::newRow("RealtimeKit") << 20 << 20 << -15 << QStringList{"4242:-15"}
                                 << QStringList{"MinNiceLevel", "4242:-15"} << -15;
    QTest::newRow("RealtimeKit never below its MinNiceLevel")
        << 20 << 20 << -11 << QStringList{"4242:-15"} << QStringList{"MinNiceLevel", "4242:-11"} << -11;
    QTest::newRow("RealtimeKit never beyond -15")
        << 20 << 20 << -20 << QStringList{"4242:-15"} << QStringList{"MinNiceLevel", "4242:-15"} << -15;
    QTest::newRow("nothing") << 20 << 20 << 1 << QStringList{"4242:-15"} << QStringList{"MinNiceLevel"} << 0;
}

void TestThreadPriority::waysInOrder()
{
    QFETCH(int, floor);
    QFETCH(int, limitFloor);
    QFETCH(int, kitMinNice);
    QFETCH(QStringList, atLoad);
    QFETCH(QStringList, kitAsked);
    QFETCH(int, runNice);

    Rig rig(floor, limitFloor);
    rig.load();
    QCOMPARE(rig.kernel.log, atLoad);
    QCOMPARE(rig.nice(), 0);
    if (!rig.kit.pending.isEmpty()) {
        if (kitMinNice > 0)
            rig.kit.refuse(QStringLiteral("RealtimeKit is not running"), true);
        else
            rig.kit.grant(kitMinNice);
    }
    rig.kernel.log.clear();

    rig.priority->raiseForRun();
    if (!rig.kit.pending.isEmpty())
        rig.kit.grant();
    QCOMPARE(rig.kit.asked(), kitAsked);
    QCOMPARE(rig.nice(), runNice);
    QCOMPARE(rig.priority->isRaised(), runNice < 0);
    rig.priority->restoreAfterRun();
    QCOMPARE(rig.nice(), 0);
    QCOMPARE(rig.told.size(), runNice < 0 ? 0 : 1);
    // Only a thread this process raised itself needs keeping from children.
    const bool direct = kitAsked.isEmpty();
    QCOMPARE(rig.kernel.keptFromChildren, direct ? QVector<long>{Thread} : QVector<long>{});
}

// A user who started the tool with `nice 5` gets 5 back, on the thread that
// ran, not the one that loaded.
void TestThreadPriority::givesBackTheLevelTheThreadHad()
{
    Rig rig(20, 20, 0);
    rig.load();
    rig.kit.grant(-15);
    rig.kernel.thread = 77;
    rig.kernel.nice[77] = 5;
    rig.priority->raiseForRun();
    QCOMPARE(rig.kit.pending.value(0).thread, quint64{77});
    rig.kit.grant();
    QCOMPARE(rig.kernel.nice[77], -15);
    rig.priority->restoreAfterRun();
    QCOMPARE(rig.kernel.nice[77], 5);
    QCOMPARE(rig.kernel.log.last(), QStringLiteral("77:5"));
}

void TestThreadPriority::leavesAHigherLevelAlone()
{
    Rig rig(-20, 20, -18);
    rig.load();
    rig.kernel.log.clear();
    rig.priority->raiseForRun();
    rig.priority->restoreAfterRun();
    QCOMPARE(rig.kernel.log, QStringList{});
    QCOMPARE(rig.nice(), -18);
    QVERIFY(rig.told.isEmpty());
}

void TestThreadPriority::oneMessageForARefusal_data()
{
    QTest::addColumn<bool>("atLoad");
    QTest::addColumn<QString>("why");
    QTest::addColumn<bool>("missing");
    QTest::addColumn<QString>("told");

    const QString head = QStringLiteral("the motor runs at normal priority, so a busy machine slows it down "
                                        "(setpriority to nice -15: Permission denied; ");
    const QString limits = QStringLiteral("An administrator can grant it to this user alone with the line "
                                          "\"ann - nice -15\" in /etc/security/limits.d/quarnet.conf (from the "
                                          "next login on).");
    QTest::newRow("RealtimeKit missing")
        << true << "RealtimeKit is not running" << true
        << head + "RealtimeKit is not running). Installing RealtimeKit (package rtkit) grants it to the "
                  "stepping thread alone. " + limits;
    QTest::newRow("RealtimeKit refuses the thread")
        << false << "RealtimeKit refused it: Operation not permitted" << false
        << head + "RealtimeKit refused it: Operation not permitted). " + limits;
}

void TestThreadPriority::oneMessageForARefusal()
{
    QFETCH(bool, atLoad);
    QFETCH(QString, why);
    QFETCH(bool, missing);
    QFETCH(QString, told);

    Rig rig;
    rig.load();
    if (atLoad) {
        rig.kit.refuse(why, missing);
    } else {
        rig.kit.grant(-15);
        rig.priority->raiseForRun();
        rig.kit.refuse(why, missing);
        rig.priority->restoreAfterRun();
    }
    QCOMPARE(rig.told, QStringList{told});

    const QStringList asked = rig.kit.asked();
    for (int run = 0; run < 3; ++run) {
        rig.priority->raiseForRun();
        rig.priority->restoreAfterRun();
    }
    QCOMPARE(rig.kit.asked(), asked);
    QCOMPARE(rig.told.size(), 1);
    QCOMPARE(rig.nice(), 0);
}

// Nothing waits for the bus: load and "Start" return with the question
// open, and when the bound passes unanswered, that is the answer.
void TestThreadPriority::busThatDoesNotAnswerCountsAsNo()
{
    Rig rig;
    rig.load();
    rig.priority->raiseForRun();
    QCOMPARE(rig.kit.asked(), QStringList{"MinNiceLevel"});
    QVERIFY(!rig.priority->isRaised());
    QVERIFY(rig.told.isEmpty());

    QTRY_COMPARE_WITH_TIMEOUT(rig.told.size(), 1, 2000);
    QVERIFY2(rig.told.first().contains(QStringLiteral("RealtimeKit did not answer within 30 ms")),
             qPrintable(rig.told.first()));
    QCOMPARE(rig.priority->way(), ThreadPriority::Way::None);

    rig.kit.grant(-15); // too late
    rig.priority->restoreAfterRun();
    rig.priority->raiseForRun();
    QCOMPARE(rig.kit.asked(), QStringList{"MinNiceLevel"});
    QTest::qWait(3 * BoundMs);
    QCOMPARE(rig.told.size(), 1);
}

void TestThreadPriority::grantThatDoesNotAnswerInTimeIsUndoneAfterTheRun()
{
    Rig rig;
    rig.load();
    rig.kit.grant(-15);
    rig.priority->raiseForRun();
    QTRY_COMPARE_WITH_TIMEOUT(rig.told.size(), 1, 2000);
    // RealtimeKit acts at last, the run still on: kept until it ends.
    rig.kit.grant();
    QCOMPARE(rig.nice(), -15);
    rig.priority->restoreAfterRun();
    QCOMPARE(rig.nice(), 0);
}

void TestThreadPriority::grantAfterTheRunEndedIsUndone()
{
    Rig rig;
    rig.load();
    rig.kit.grant(-15);
    rig.priority->raiseForRun();
    rig.priority->restoreAfterRun();
    rig.kit.grant();
    QCOMPARE(rig.nice(), 0);
    QCOMPARE(rig.kernel.log.last(), QStringLiteral("4242:0"));
    QVERIFY(rig.told.isEmpty());
}

// RealtimeKit limits how often one user may ask (25 times in 20 s): a
// quick series of runs may be refused one, and the next asks again.
void TestThreadPriority::laterRefusalAfterAGrantIsAboutThatRunOnly()
{
    Rig rig;
    rig.load();
    rig.kit.grant(-15);
    rig.priority->raiseForRun();
    rig.kit.grant();
    rig.priority->restoreAfterRun();
    rig.priority->raiseForRun();
    rig.kit.refuse(QStringLiteral("RealtimeKit refused it: Device or resource busy"));
    QCOMPARE(rig.nice(), 0);
    rig.priority->restoreAfterRun();
    rig.priority->raiseForRun();
    QCOMPARE(rig.kit.pending.size(), 1);
    rig.kit.grant();
    QCOMPARE(rig.nice(), -15);
    rig.priority->restoreAfterRun();
    QVERIFY(rig.told.isEmpty());
    QCOMPARE(rig.priority->way(), ThreadPriority::Way::RealtimeKit);
}

void TestThreadPriority::sessionGroupRaisedWithTheThread_data()
{
    QTest::addColumn<int>("floor");
    QTest::addColumn<bool>("autogroups");
    QTest::addColumn<int>("groupStart");
    QTest::addColumn<int>("groupInRun");
    QTest::addColumn<QStringList>("groupLog");

    QTest::newRow("root") << -20 << true << 0 << -15 << QStringList{"-15", "0"};
    QTest::newRow("limits.d allows only -10") << -10 << true << 0 << -10 << QStringList{"-10", "0"};
    QTest::newRow("a session started at nice 3 gets 3 back") << -20 << true << 3 << -15 << QStringList{"-15", "3"};
    QTest::newRow("autogroups off") << -20 << false << 0 << 0 << QStringList{};
    QTest::newRow("group already higher") << -20 << true << -18 << -18 << QStringList{};
    // RealtimeKit raises threads only; the group takes the permission it lacks.
    QTest::newRow("RealtimeKit") << 20 << true << 0 << 0 << QStringList{};
}

void TestThreadPriority::sessionGroupRaisedWithTheThread()
{
    QFETCH(int, floor);
    QFETCH(bool, autogroups);
    QFETCH(int, groupStart);
    QFETCH(int, groupInRun);
    QFETCH(QStringList, groupLog);

    Rig rig(floor, floor);
    rig.kernel.autogroups = autogroups;
    rig.kernel.groupNice = groupStart;
    rig.load();
    if (!rig.kit.pending.isEmpty())
        rig.kit.grant(-15);
    rig.priority->raiseForRun();
    if (!rig.kit.pending.isEmpty())
        rig.kit.grant();
    QCOMPARE(rig.kernel.groupNice, groupInRun);
    QCOMPARE(rig.priority->isGroupRaised(), groupInRun != groupStart);
    rig.priority->restoreAfterRun();
    QCOMPARE(rig.kernel.groupNice, groupStart);
    QCOMPARE(rig.kernel.groupLog, groupLog);
    QVERIFY(!rig.priority->isGroupRaised());
}

// Another program's change, or a run shorter than the kernel's 100 ms:
// the change goes through once the kernel takes one again, the run going on.
void TestThreadPriority::kernelTooSoonIsWaitedOut()
{
    Rig rig(-20);
    rig.load();
    rig.kernel.groupBusy = 1;
    rig.priority->raiseForRun();
    QVERIFY(rig.priority->isRaised());
    QCOMPARE(rig.kernel.groupNice, 0);
    QTRY_COMPARE_WITH_TIMEOUT(rig.kernel.groupNice, -15, 2000);

    rig.kernel.groupBusy = 2;
    rig.priority->restoreAfterRun();
    QCOMPARE(rig.nice(), 0);
    QCOMPARE(rig.kernel.groupNice, -15);
    QTRY_COMPARE_WITH_TIMEOUT(rig.kernel.groupNice, 0, 2000);
    QVERIFY(!rig.priority->isGroupRaised());
    QCOMPARE(rig.kernel.groupLog, (QStringList{"-15", "-15", "0", "0", "0"}));
    QTest::qWait(300);
    QCOMPARE(rig.kernel.groupLog.size(), 5);
}

// "Stop" then "Start" at once: the group the first run could not give back
// yet is the one the second needs; no change asked either way.
void TestThreadPriority::runStartedBeforeTheGroupWasGivenBackKeepsIt()
{
    Rig rig(-20);
    rig.load();
    rig.priority->raiseForRun();
    rig.kernel.groupBusy = 1;
    rig.priority->restoreAfterRun();
    rig.priority->raiseForRun();
    QTest::qWait(300);
    QCOMPARE(rig.kernel.groupNice, -15);
    QCOMPARE(rig.kernel.groupLog, (QStringList{"-15", "0"}));
    rig.priority->restoreAfterRun();
    QCOMPARE(rig.kernel.groupNice, 0);
}

// "Chiudi" right after "Stop": the process ends before any timer could
// fire, and its session must not stay raised after it.
void TestThreadPriority::groupGivenBackBeforeExit()
{
    Rig rig(-20);
    rig.load();
    rig.priority->raiseForRun();
    rig.kernel.groupBusy = 3;
    rig.priority->restoreAfterRun();
    QCOMPARE(rig.kernel.groupNice, -15);
    rig.priority->settleBeforeExit();
    QCOMPARE(rig.kernel.groupNice, 0);
    QVERIFY(!rig.priority->isGroupRaised());
    rig.priority.reset();
    QCOMPARE(rig.kernel.groupLog.size(), 5);
}

// The thread still gets its level; the group is asked once per process.
void TestThreadPriority::groupRefusedIsNotAskedAgain()
{
    Rig rig(-20);
    rig.kernel.groupLocked = true;
    rig.load();
    for (int run = 0; run < 3; ++run) {
        rig.priority->raiseForRun();
        QCOMPARE(rig.nice(), -15);
        QVERIFY(!rig.priority->isGroupRaised());
        rig.priority->restoreAfterRun();
    }
    QCOMPARE(rig.kernel.groupLog, QStringList{"-15"});
    QCOMPARE(rig.kernel.groupNice, 0);
}

// The real calls on this machine, against what /proc says in its own words.
void TestThreadPriority::kernelReadsTheSessionGroup()
{
    QFile enabled(QStringLiteral("/proc/sys/kernel/sched_autogroup_enabled"));
    QFile group(QStringLiteral("/proc/self/autogroup"));
    KernelScheduling kernel;
    int nice = 99;
    const int error = kernel.autogroupNice(nice);
    if (!enabled.open(QIODevice::ReadOnly) || enabled.readAll().trimmed() != "1") {
        QCOMPARE(error, ENOENT);
        QCOMPARE(nice, 99);
        return;
    }
    QVERIFY(group.open(QIODevice::ReadOnly));
    const QByteArray said = group.readAll().simplified();
    if (said.isEmpty()) { // still in init's session: the root group, no level
        QCOMPARE(error, ENOENT);
        QCOMPARE(nice, 99);
        return;
    }
    const QList<QByteArray> words = said.split(' ');
    QCOMPARE(words.size(), 3);
    QCOMPARE(error, 0);
    QCOMPARE(nice, words[2].toInt());
    if (::geteuid() == 0) // no other may write it without the 100 ms wait
        QCOMPARE(kernel.setAutogroupNice(nice), 0);
}

QTEST_GUILESS_MAIN(TestThreadPriority)
#include "tst_threadpriority.moc"
