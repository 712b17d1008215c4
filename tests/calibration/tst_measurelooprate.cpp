#include "DriveState.h"
#include "MeasureLoopRate.h"
#include "RecordingBusyWait.h"
#include "ScriptedClock.h"

#include <QTest>
#include <QVector>
#include <cmath>
#include <numeric>


class TestMeasureLoopRate : public QObject
{
    Q_OBJECT
private slots:
    void rate_data();
    void rate();
    void brokenClockStillReturns_data();
    void brokenClockStillReturns();
};

void TestMeasureLoopRate::rate_data()
{
    QTest::addColumn<QVector<float>>("readings");
    QTest::addColumn<QVector<double>>("bounds");
    QTest::addColumn<double>("loopsPerSec");

    QTest::newRow("6.25 s") << QVector<float>{1000.0f, 1006.25f} << QVector<double>{49999999}
                            << 49999999 / 6.25;
    QTest::newRow("2.5 s") << QVector<float>{1000.0f, 1002.5f} << QVector<double>{49999999}
                           << 19999999.6;
    QTest::newRow("late in the day") << QVector<float>{80000.0f, 80006.25f}
                                     << QVector<double>{49999999} << 49999999 / 6.25;
    QTest::newRow("across midnight") << QVector<float>{86398.0f, 4.25f}
                                     << QVector<double>{49999999} << 49999999 / 6.25;
    QTest::newRow("too short") << QVector<float>{1000.0f, 1000.5f, 2000.0f, 2002.5f}
                               << QVector<double>{49999999, 249999995} << 249999995 / 2.5;
    QTest::newRow("zero elapsed") << QVector<float>{1000.0f, 1000.0f, 2000.0f, 2002.5f}
                                  << QVector<double>{49999999, 499999990} << 499999990 / 2.5;
    QTest::newRow("clock going backwards") << QVector<float>{1000.0f, 999.0f, 2000.0f, 2002.5f}
                                           << QVector<double>{49999999, 499999990}
                                           << 499999990 / 2.5;
    QTest::newRow("short twice") << QVector<float>{0.0f, 0.25f, 1.0f, 2.0f, 3.0f, 5.5f}
                                 << QVector<double>{49999999, 499999990, 1249999975}
                                 << 1249999975 / 2.5;
}

// Exact comparison: the rate is the bound over the single-precision elapsed
// time in double precision, fractional part kept.
void TestMeasureLoopRate::rate()
{
    QFETCH(QVector<float>, readings);
    QFETCH(QVector<double>, bounds);
    QFETCH(double, loopsPerSec);

    DriveState state;
    ScriptedClock clock(readings);
    RecordingBusyWait wait;
    MeasureLoopRate(state, clock, wait);

    QCOMPARE(wait.asked, bounds);
    QVERIFY2(state.LoopsPerSec == loopsPerSec,
             qPrintable(QString::number(state.LoopsPerSec, 'f', 6)));
}

void TestMeasureLoopRate::brokenClockStillReturns_data()
{
    QTest::addColumn<QVector<float>>("readings");
    QTest::newRow("stuck") << QVector<float>{43210.5f};
    QVector<float> backwards;
    for (int i = 0; i < 20; ++i)
        backwards.append(1000.0f - i);
    QTest::newRow("running backwards") << backwards;
    QTest::newRow("stuck at midnight") << QVector<float>{0.0f};
    QTest::newRow("no number") << QVector<float>{std::nanf("")};
    QTest::newRow("infinite end") << QVector<float>{1000.0f, INFINITY};
}

// However the clock misbehaves, start-up must go on with a usable rate.
void TestMeasureLoopRate::brokenClockStillReturns()
{
    QFETCH(QVector<float>, readings);
    DriveState state;
    ScriptedClock clock(readings);
    RecordingBusyWait wait;
    MeasureLoopRate(state, clock, wait);

    // A stuck clock may cost a few seconds of a native loop, not minutes.
    QVERIFY(std::accumulate(wait.asked.begin(), wait.asked.end(), 0.0) <= 1e10);
    QVERIFY(std::isfinite(state.LoopsPerSec));
    QVERIFY(state.LoopsPerSec > 0.0);
}

QTEST_GUILESS_MAIN(TestMeasureLoopRate)
#include "tst_measurelooprate.moc"
