#include "DriveFakes.h"

#include <QTest>

class TestStepSpeed : public QObject
{
    Q_OBJECT
private slots:
    void stepAndGauge_data();
    void stepAndGauge();
};

void TestStepSpeed::stepAndGauge_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("to");
    QTest::addColumn<QString>("text");
    QTest::addColumn<float>("gaugeY");

    QTest::newRow("1 -") << 1 << 2 << 1 << "1" << 4960.18f;
    QTest::newRow("1 --") << 1 << 3 << 1 << "1" << 4960.18f;
    QTest::newRow("5 --") << 5 << 3 << 1 << "1" << 4960.18f;
    QTest::newRow("11 --") << 11 << 3 << 1 << "1" << 4960.18f;
    QTest::newRow("12 --") << 12 << 3 << 2 << "2" << 4950.36f;
    QTest::newRow("1 ++") << 1 << 0 << 11 << "11" << 4861.98f;
    QTest::newRow("499 +") << 499 << 1 << 500 << "500" << 60.0f;
    QTest::newRow("507 -") << 507 << 2 << 506 << "506" << 1.08f;
    QTest::newRow("497 ++") << 497 << 0 << 507 << "507" << -8.74f;
    QTest::newRow("unknown index") << 42 << 4 << 42 << "42" << 4557.56f;
    QTest::newRow("32766 +") << 32766 << 1 << 32767 << "32767" << -316801.94f;
    QTest::newRow("32767 + refused") << 32767 << 1 << 32767 << "32767" << -316801.94f;
    QTest::newRow("32760 ++ stops at top") << 32760 << 0 << 32767 << "32767" << -316801.94f;
    QTest::newRow("32767 -") << 32767 << 2 << 32766 << "32766" << -316792.12f;
}

void TestStepSpeed::stepAndGauge()
{
    QFETCH(int, from);
    QFETCH(int, index);
    QFETCH(int, to);
    QFETCH(QString, text);
    QFETCH(float, gaugeY);

    DriveRig rig;
    rig.state.StepSec = static_cast<std::int16_t>(from);
    rig.drive.StepSpeed(index);

    QCOMPARE(int{rig.state.StepSec}, to);
    QCOMPARE(rig.display.text, text);
    QCOMPARE(rig.display.gaugeY, gaugeY);
}

QTEST_GUILESS_MAIN(TestStepSpeed)
#include "tst_stepspeed.moc"
