#include "DriveFakes.h"
#include "MonitorModel.h"
#include "MonitorPace.h"
#include "OutputLines.h"
#include "RotorAngle.h"

#include <QTest>
#include <cmath>

// What the live view shows for a byte: which lamps are lit, where the rotor
// points; and how often it reads the drive.
class TestMonitorView : public QObject
{
    Q_OBJECT

private slots:
    void lampsAndRotorForEveryByte_data();
    void lampsAndRotorForEveryByte();
    void eachStepOfTheDriveTurnsAQuarter_data();
    void eachStepOfTheDriveTurnsAQuarter();
    void rotorRestsWhereTheLastPullLeftIt();
    void pullsThatCancelOrOutnumber();
    void byteInDecimalAndHex_data();
    void byteInDecimalAndHex();
    void paceFollowsTheScreenUpTo60Hz_data();
    void paceFollowsTheScreenUpTo60Hz();
};

namespace {

// The DB-25 pins of the lit lamps: what a user checks against the wiring.
QList<int> litPins(const OutputLines::Lamps &lamps)
{
    QList<int> pins;
    for (int i = 0; i < OutputLines::Count; ++i) {
        if (lamps[std::size_t(i)])
            pins << OutputLines::Shown[i].pin;
    }
    return pins;
}

// The angles of the rotor after each step of a run of the real drive.
QList<double> anglesOfARun(int modeIndex, int steps)
{
    DriveRig rig;
    rig.drive.SelectMode(modeIndex);
    rig.stopAtPass(steps + 1);
    rig.drive.RunMotor();
    QList<double> angles;
    const QList<int> bytes = rig.port.values();
    for (qsizetype i = 0; i + 1 < bytes.size(); ++i) // the last write is the run's 64
        angles << RotorAngle::pull(std::int16_t(bytes[i])).value_or(-1.0);
    return angles;
}

double turn(double from, double to)
{
    return std::fmod(to - from + 360.0, 360.0);
}

} // namespace

void TestMonitorView::lampsAndRotorForEveryByte_data()
{
    QTest::addColumn<int>("byte");
    QTest::addColumn<QList<int>>("pins");
    QTest::addColumn<double>("degrees"); // -1: no pull

    QTest::newRow("Full, bit 0") << 65 << QList<int>{2, 8} << 0.0;
    QTest::newRow("Full, bit 2") << 68 << QList<int>{4, 8} << 90.0;
    QTest::newRow("Full, bit 1") << 66 << QList<int>{3, 8} << 180.0;
    QTest::newRow("Full, bit 3") << 72 << QList<int>{5, 8} << 270.0;
    QTest::newRow("Half, bits 0 2") << 69 << QList<int>{2, 4, 8} << 45.0;
    QTest::newRow("Half, bits 1 2") << 70 << QList<int>{3, 4, 8} << 135.0;
    QTest::newRow("Half, bits 1 3") << 74 << QList<int>{3, 5, 8} << 225.0;
    QTest::newRow("Half, bits 0 3") << 73 << QList<int>{2, 5, 8} << 315.0;
    QTest::newRow("off: 64") << 64 << QList<int>{8} << -1.0;
    QTest::newRow("before the first write: 0") << 0 << QList<int>{} << -1.0;
}

void TestMonitorView::lampsAndRotorForEveryByte()
{
    QFETCH(int, byte);
    QFETCH(QList<int>, pins);
    QFETCH(double, degrees);

    QCOMPARE(litPins(OutputLines::lampsFor(std::int16_t(byte))), pins);
    const std::optional<double> pulled = RotorAngle::pull(std::int16_t(byte));
    QCOMPARE(pulled.has_value(), degrees >= 0);
    if (pulled)
        QCOMPARE(*pulled, degrees);
}

void TestMonitorView::eachStepOfTheDriveTurnsAQuarter_data()
{
    QTest::addColumn<int>("modeIndex");
    QTest::newRow("Half") << 0;
    QTest::newRow("Full") << 1;
}

// Whatever order the drive's phase table gives the lines, the drawing must
// turn one way by a quarter at every step; "Half" sits an eighth on from
// "Full" at the same phase.
void TestMonitorView::eachStepOfTheDriveTurnsAQuarter()
{
    QFETCH(int, modeIndex);
    const QList<double> angles = anglesOfARun(modeIndex, 9);
    QCOMPARE(angles.size(), 9);
    for (qsizetype i = 1; i < angles.size(); ++i)
        QCOMPARE(turn(angles[i - 1], angles[i]), 90.0);
    const QList<double> full = anglesOfARun(1, 4);
    const QList<double> half = anglesOfARun(0, 4);
    for (qsizetype i = 0; i < 4; ++i)
        QCOMPARE(turn(full[i], half[i]), 45.0);
}

void TestMonitorView::rotorRestsWhereTheLastPullLeftIt()
{
    RotorPosition rotor;
    QCOMPARE(rotor.follow(64), 0.0);
    QCOMPARE(rotor.follow(70), 135.0);
    QCOMPARE(rotor.follow(64), 135.0);
    QCOMPARE(rotor.follow(0), 135.0);
    QCOMPARE(rotor.follow(67), 135.0); // bits 0 and 1: opposite poles, no pull
    QCOMPARE(rotor.follow(73), 315.0);
}

void TestMonitorView::pullsThatCancelOrOutnumber()
{
    QVERIFY(!RotorAngle::pull(64 | 0b0011));     // 0 and 1 face each other
    QVERIFY(!RotorAngle::pull(64 | 0b1100));     // 2 and 3 too
    QVERIFY(!RotorAngle::pull(64 | 0b1111));     // all four
    QCOMPARE(*RotorAngle::pull(64 | 0b0111), 90.0);  // 0 and 1 cancel, 2 is left
    QCOMPARE(*RotorAngle::pull(64 | 0b1011), 270.0); // 0 and 1 cancel, 3 is left
    QCOMPARE(*RotorAngle::pull(0x80 | 0x01), 0.0);   // bits 4 to 7 drive no winding
}

void TestMonitorView::byteInDecimalAndHex_data()
{
    QTest::addColumn<int>("byte");
    QTest::addColumn<QString>("text");
    QTest::newRow("off") << 64 << "64 = &H40";
    QTest::newRow("Half") << 74 << "74 = &H4A";
    QTest::newRow("nothing written") << 0 << "0 = &H00";
    QTest::newRow("every bit") << 255 << "255 = &HFF";
}

void TestMonitorView::byteInDecimalAndHex()
{
    QFETCH(int, byte);
    QFETCH(QString, text);
    QCOMPARE(byteText(byte), text);
}

void TestMonitorView::paceFollowsTheScreenUpTo60Hz_data()
{
    QTest::addColumn<double>("refreshHz");
    QTest::addColumn<int>("intervalMs");
    QTest::newRow("60 Hz") << 60.0 << 17;
    QTest::newRow("59.94 Hz") << 59.94 << 17;
    QTest::newRow("144 Hz: held to 60") << 144.0 << 17;
    QTest::newRow("50 Hz") << 50.0 << 20;
    QTest::newRow("30 Hz") << 30.0 << 34;
    QTest::newRow("no rate reported") << 0.0 << 17;
    QTest::newRow("not a number") << double(NAN) << 17;
    QTest::newRow("implausibly low") << 1.0 << 17;
}

void TestMonitorView::paceFollowsTheScreenUpTo60Hz()
{
    QFETCH(double, refreshHz);
    QFETCH(int, intervalMs);
    QCOMPARE(MonitorPace::intervalMs(refreshHz), intervalMs);
    QVERIFY(1000.0 / intervalMs <= MonitorPace::MaxHz);
}

QTEST_GUILESS_MAIN(TestMonitorView)
#include "tst_monitorview.moc"
