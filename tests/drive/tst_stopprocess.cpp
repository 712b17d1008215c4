#include "DriveFakes.h"

#include <QTest>

#include <map>

// A stop request (Ctrl-Z) stops the whole process, and a stopped process
// writes nothing: whatever the port holds then, it holds until the process
// is continued. So every port the drive left a winding on must hold a byte
// with no phase line by the time the process stops, and a run must go on
// from the step it had reached once the process is continued.
class TestStopProcess : public QObject
{
    Q_OBJECT
private slots:
    void windingsOffWhileStopped_data();
    void windingsOffWhileStopped();
};

// A run types the address (if any) at its third event pass and is stopped
// at its fourth; it ends at its sixth.
void TestStopProcess::windingsOffWhileStopped_data()
{
    QTest::addColumn<int>("modeIndex");
    QTest::addColumn<QString>("typed"); // empty: the box is left alone
    QTest::addColumn<bool>("running");
    QTest::addColumn<QVector<Write>>("writes");

    QTest::newRow("Full, running") << 1 << QString() << true
        << QVector<Write>{{0x378, 68}, {0x378, 66}, {0x378, 72}, {0x378, 64}, {0x378, 65}, {0x378, 68}, {0x378, 64}};
    QTest::newRow("Half, running") << 0 << QString() << true
        << QVector<Write>{{0x378, 70}, {0x378, 74}, {0x378, 73}, {0x378, 64}, {0x378, 69}, {0x378, 70}, {0x378, 64}};
    // The port the motor turned before the address changed keeps no
    // winding on while stopped either.
    QTest::newRow("another port typed") << 1 << QStringLiteral("&H278") << true
        << QVector<Write>{{0x378, 68}, {0x378, 66}, {0x278, 72}, {0x278, 64}, {0x378, 64},
                          {0x278, 65}, {0x278, 68}, {0x278, 64}};
    QTest::newRow("text naming no port typed") << 1 << QStringLiteral("&H") << true
        << QVector<Write>{{0x378, 68}, {0x378, 66}, {0x378, 64}};
    QTest::newRow("idle") << 1 << QString() << false << QVector<Write>{{0x378, 64}};
}

void TestStopProcess::windingsOffWhileStopped()
{
    QFETCH(int, modeIndex);
    QFETCH(QString, typed);
    QFETCH(bool, running);
    QFETCH(QVector<Write>, writes);

    DriveRig rig;
    rig.drive.SelectMode(modeIndex);
    std::map<int, int> heldWhileStopped; // port -> the last byte it was given
    bool priorityRaisedWhileStopped = true;
    rig.process.onStop = [&] {
        for (const Write &write : rig.port.writes)
            heldWhileStopped[write.port] = write.value;
        priorityRaisedWhileStopped = rig.priority.raised;
    };
    bool priorityRaisedAfter = false;

    if (running) {
        if (!typed.isEmpty())
            rig.pump.script[3] = [&] { rig.drive.SetPortAddress(typed); };
        rig.pump.script[4] = [&] { rig.drive.stopProcess(); };
        rig.pump.script[5] = [&] { priorityRaisedAfter = rig.priority.raised; };
        rig.stopAtPass(6);
        rig.drive.RunMotor();
    } else {
        rig.drive.stopProcess();
    }

    QCOMPARE(rig.process.stops, 1);
    QVERIFY(!heldWhileStopped.empty());
    for (const auto &[port, value] : heldWhileStopped)
        QVERIFY2((value & 0x0F) == 0, qPrintable(QStringLiteral("port %1 held %2").arg(port).arg(value)));
    QCOMPARE(rig.port.writes, writes);
    // A stopped process leaves its session at its own priority; the run
    // takes it again once continued, and gives it back at its end.
    QVERIFY(!priorityRaisedWhileStopped);
    QCOMPARE(priorityRaisedAfter, running);
    QVERIFY(!rig.priority.raised);
    QCOMPARE(rig.priority.calls.size(), running ? 4 : 0);
}

QTEST_GUILESS_MAIN(TestStopProcess)
#include "tst_stopprocess.moc"
