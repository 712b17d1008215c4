#include "DriveFakes.h"

#include <QTest>

using Call = RecordingPriority::Call;
Q_DECLARE_METATYPE(QVector<Call>)

// Every way a run ends gives the priority back exactly once, after the
// run's last write, and a run nested in another's event pass asks for
// nothing of its own.
class TestRunPriority : public QObject
{
    Q_OBJECT
private slots:
    void givenBackOnceAfterTheLastWrite_data();
    void givenBackOnceAfterTheLastWrite();
    void raisedThroughoutTheRun();
    void givenBackBeforeChiudiEndsTheProcess();
};

enum class Ending { Stop, StopAndStartAgain, NestedRun, Chiudi, ExitSwitchOff };
Q_DECLARE_METATYPE(Ending)

void TestRunPriority::givenBackOnceAfterTheLastWrite_data()
{
    QTest::addColumn<Ending>("ending");
    QTest::addColumn<QVector<Call>>("calls");

    // Stop at pass 4: three steps, then the switch-off write.
    QTest::newRow("Stop") << Ending::Stop << QVector<Call>{{true, 0}, {false, 4}};
    QTest::newRow("Stop, then Start again")
        << Ending::StopAndStartAgain << QVector<Call>{{true, 0}, {false, 4}, {true, 4}, {false, 7}};
    // The nested run's switch-off is write 4, the outer run's write 5.
    QTest::newRow("nested run") << Ending::NestedRun << QVector<Call>{{true, 0}, {false, 5}};
    QTest::newRow("Chiudi") << Ending::Chiudi << QVector<Call>{{true, 0}, {false, 3}};
    // exit() from inside the event pass: the safety net switches off, and
    // the run that goes on until the process is gone asks for nothing more.
    QTest::newRow("exit's switch-off") << Ending::ExitSwitchOff << QVector<Call>{{true, 0}, {false, 3}};
}

void TestRunPriority::givenBackOnceAfterTheLastWrite()
{
    QFETCH(Ending, ending);
    QFETCH(QVector<Call>, calls);

    DriveRig rig;
    switch (ending) {
    case Ending::Stop:
        rig.stopAtPass(4);
        break;
    case Ending::StopAndStartAgain:
        rig.stopAtPass(4);
        rig.stopAtPass(7);
        rig.drive.RunMotor();
        break;
    case Ending::NestedRun:
        rig.pump.script[2] = [&] {
            rig.drive.StopMotor();
            rig.drive.RunMotor();
        };
        rig.stopAtPass(5);
        break;
    case Ending::Chiudi:
        rig.pump.script[3] = [&] { rig.drive.CloseProgram(); };
        break;
    case Ending::ExitSwitchOff:
        rig.pump.script[3] = [&] { rig.drive.switchOff(); };
        rig.stopAtPass(6);
        break;
    }
    try {
        rig.drive.RunMotor();
    } catch (const ProcessEnded &) {
        QCOMPARE(ending, Ending::Chiudi);
    }

    QCOMPARE(rig.priority.calls, calls);
    QVERIFY(!rig.priority.raised);
}

void TestRunPriority::raisedThroughoutTheRun()
{
    DriveRig rig;
    QVector<bool> raisedAtPass;
    for (int pass = 1; pass <= 4; ++pass)
        rig.pump.script[pass] = [&] { raisedAtPass.append(rig.priority.raised); };
    rig.pump.script[3] = [&] {
        raisedAtPass.append(rig.priority.raised);
        rig.drive.StopMotor();
        rig.drive.RunMotor();
    };
    rig.stopAtPass(5);
    rig.drive.RunMotor();

    QCOMPARE(raisedAtPass, (QVector<bool>{true, true, true, true}));
    QCOMPARE(rig.priority.calls.size(), 2);
}

// The process control ends the process without returning: what it sees is
// what the process ends with.
void TestRunPriority::givenBackBeforeChiudiEndsTheProcess()
{
    DriveRig rig;
    bool raisedAtEnd = true;
    FakeProcess process = FakeProcess::forbidden();
    process.onEnd = [&] { raisedAtEnd = rig.priority.raised; };
    MotorDrive drive(rig.state, rig.modes, rig.port, rig.pump, rig.buttons, rig.display, process, rig.machine,
                     rig.machine, rig.priority);
    rig.pump.script[2] = [&] { drive.CloseProgram(); };
    QVERIFY_THROWS_EXCEPTION(ProcessEnded, drive.RunMotor());

    QVERIFY(!raisedAtEnd);
    QCOMPARE(rig.priority.calls.size(), 2);
}

QTEST_GUILESS_MAIN(TestRunPriority)
#include "tst_runpriority.moc"
