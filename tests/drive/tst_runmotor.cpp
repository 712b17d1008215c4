#include "DriveFakes.h"

#include <QTest>

class TestRunMotor : public QObject
{
    Q_OBJECT
private slots:
    void phaseSequence_data();
    void phaseSequence();
    void startStopStartContinuesPhase();
    void modeChangeAppliesToNextStep();
    void closeMidRunWritesPhasesOffAndNothingMore();
    void nestedRunEndsBothLoops();
    void stepsCountedAcrossRuns();
    void portLeftMidRunSwitchedOffAtEnd_data();
    void portLeftMidRunSwitchedOffAtEnd();
    void portLeftMidRunSwitchedOffAtClose();
};

void TestRunMotor::phaseSequence_data()
{
    QTest::addColumn<int>("modeIndex");
    QTest::addColumn<int>("stopPass");
    QTest::addColumn<QVector<int>>("bytes");

    QTest::newRow("stop before the first step") << 1 << 1 << QVector<int>{64};
    QTest::newRow("Full, two turns") << 1 << 9 << QVector<int>{68, 66, 72, 65, 68, 66, 72, 65, 64};
    QTest::newRow("Half, two turns") << 0 << 9 << QVector<int>{70, 74, 73, 69, 70, 74, 73, 69, 64};
}

void TestRunMotor::phaseSequence()
{
    QFETCH(int, modeIndex);
    QFETCH(int, stopPass);
    QFETCH(QVector<int>, bytes);

    DriveRig rig;
    rig.drive.SelectMode(modeIndex);
    bool startDisabledWhileRunning = false;
    rig.pump.script[1] = [&] { startDisabledWhileRunning = !rig.buttons.start; };
    rig.stopAtPass(stopPass);
    rig.drive.RunMotor();

    QCOMPARE(rig.port.values(), bytes);
    QCOMPARE(rig.pump.passes, stopPass);
    QVERIFY(startDisabledWhileRunning || stopPass == 1);
    QVERIFY(rig.buttons.start);
    QVERIFY(!rig.buttons.stop);
}

void TestRunMotor::startStopStartContinuesPhase()
{
    DriveRig rig;
    rig.stopAtPass(3);
    rig.drive.RunMotor();
    rig.stopAtPass(7);
    rig.drive.RunMotor();

    QCOMPARE(rig.port.values(), (QVector<int>{68, 66, 64, 72, 65, 68, 64}));
}

void TestRunMotor::modeChangeAppliesToNextStep()
{
    DriveRig rig;
    rig.pump.script[3] = [&] { rig.drive.SelectMode(0); };
    rig.pump.script[5] = [&] { rig.drive.SelectMode(1); };
    rig.stopAtPass(7);
    rig.drive.RunMotor();

    QCOMPARE(rig.port.values(), (QVector<int>{68, 66, 73, 69, 68, 66, 64}));
}

void TestRunMotor::closeMidRunWritesPhasesOffAndNothingMore()
{
    DriveRig rig;
    rig.pump.script[3] = [&] { rig.drive.CloseProgram(); };
    rig.stopAtPass(4);
    bool ended = false;
    try {
        rig.drive.RunMotor();
    } catch (const ProcessEnded &) {
        ended = true;
    }

    QVERIFY(ended);
    QCOMPARE(rig.port.values(), (QVector<int>{68, 66, 64}));
    QCOMPARE(rig.pump.passes, 3);
}

// Stop and Start clicked within one event pass: the new run runs inside the
// old one's pass, and when it stops the old loop ends too.
void TestRunMotor::nestedRunEndsBothLoops()
{
    DriveRig rig;
    rig.pump.script[2] = [&] {
        rig.drive.StopMotor();
        rig.drive.RunMotor();
    };
    rig.stopAtPass(5);
    rig.drive.RunMotor();

    QCOMPARE(rig.port.values(), (QVector<int>{68, 66, 72, 64, 64}));
    QCOMPARE(rig.pump.passes, 5);
    QCOMPARE(rig.state.StepPhase, -1);
    // The live view counts from the nested run's start: it owns the motor.
    QCOMPARE(rig.state.StepsMade, 3);
    QCOMPARE(rig.state.StepsAtRunStart, 1);
}

// One count per byte a step wrote, none for the closing writes; each run
// marks where it started.
void TestRunMotor::stepsCountedAcrossRuns()
{
    DriveRig rig;
    QCOMPARE(rig.state.StepsMade, 0);
    rig.stopAtPass(4);
    rig.drive.RunMotor();
    QCOMPARE(rig.state.StepsMade, 3);
    QCOMPARE(rig.state.StepsAtRunStart, 0);
    rig.stopAtPass(10);
    rig.drive.RunMotor();
    QCOMPARE(rig.port.writes.size(), 10); // 3 + 64, 5 + 64
    QCOMPARE(rig.state.StepsMade, 8);
    QCOMPARE(rig.state.StepsAtRunStart, 3);
}

// The address box may move a running motor's writes elsewhere; the port that
// was left with a winding on must not keep it once the run ends.
void TestRunMotor::portLeftMidRunSwitchedOffAtEnd_data()
{
    QTest::addColumn<QString>("newAddress");
    QTest::addColumn<QVector<Write>>("writes");

    QTest::newRow("another port") << QStringLiteral("&H278")
        << QVector<Write>{{0x378, 68}, {0x378, 66}, {0x278, 72}, {0x278, 64}, {0x378, 64}};
    QTest::newRow("text naming no port") << QStringLiteral("&H")
        << QVector<Write>{{0x378, 68}, {0x378, 66}, {0x378, 64}};
    QTest::newRow("back to the same port") << QStringLiteral("&H378")
        << QVector<Write>{{0x378, 68}, {0x378, 66}, {0x378, 72}, {0x378, 64}};
}

void TestRunMotor::portLeftMidRunSwitchedOffAtEnd()
{
    QFETCH(QString, newAddress);
    QFETCH(QVector<Write>, writes);

    DriveRig rig;
    rig.pump.script[3] = [&] { rig.drive.SetPortAddress(newAddress); };
    rig.stopAtPass(4);
    rig.drive.RunMotor();

    QCOMPARE(rig.port.writes, writes);
}

void TestRunMotor::portLeftMidRunSwitchedOffAtClose()
{
    DriveRig rig;
    rig.pump.script[3] = [&] { rig.drive.SetPortAddress(QStringLiteral("&H3BC")); };
    rig.pump.script[4] = [&] { rig.drive.SetPortAddress(QStringLiteral("abc")); };
    rig.pump.script[5] = [&] { rig.drive.CloseProgram(); };
    rig.stopAtPass(9);
    QVERIFY_THROWS_EXCEPTION(ProcessEnded, rig.drive.RunMotor());

    const QVector<Write> expected{{0x378, 68}, {0x378, 66}, {0x3BC, 72}, {0x3BC, 64}, {0x378, 64}};
    QCOMPARE(rig.port.writes, expected);
}

QTEST_GUILESS_MAIN(TestRunMotor)
#include "tst_runmotor.moc"
