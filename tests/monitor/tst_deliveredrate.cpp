#include "DriveState.h"
#include "MonitorModel.h"
#include "ScriptedClock.h"

#include <QTest>
#include <cmath>

// The rate over the last second and the steps since the run started, as the
// live view reads them from the drive's record at the screen's pace, on a
// scripted clock.
class TestDeliveredRate : public QObject
{
    Q_OBJECT

private slots:
    void steadyRateShowsWithoutFlicker_data();
    void steadyRateShowsWithoutFlicker();
    void fallsToZeroOnceTheStepsStop();
    void nothingBeforeTheFirstStep();
    void stepsCountFromTheRunsStart();
    void aClockThatStandsStillIsNoReading();
};

namespace {

constexpr std::int64_t kSecond = 1'000'000'000;

// A motor stepping at `rate` from `startNs` on, read by the view at about 60
// frames a second. Timers are late by a few ms at times: every seventh frame
// comes 4 ms late, every eleventh 2 ms early.
struct Scene
{
    explicit Scene(double rate, std::int64_t startNs = 0) : m_rate(rate), m_startNs(startNs) {}

    std::int64_t frameNs(int frame) const
    {
        std::int64_t at = std::int64_t(frame) * kSecond / 60;
        if (frame % 7 == 3)
            at += 4'000'000;
        if (frame % 11 == 5)
            at -= 2'000'000;
        return at;
    }

    // The first step goes at the start; none after the stop.
    std::int64_t stepsBy(std::int64_t ns) const
    {
        const std::int64_t until = m_stopNs >= 0 ? std::min(ns, m_stopNs) : ns;
        if (until < m_startNs)
            return 0;
        return std::int64_t(std::floor(double(until - m_startNs) * m_rate / 1e9)) + 1;
    }

    // The shown rates of `frames` frames, through the model and the clock.
    QList<int> run(int frames)
    {
        ScriptedMonotonicClock clock;
        for (int i = 0; i < frames; ++i)
            clock.readings << frameNs(i);
        QList<int> shown;
        for (int i = 0; i < frames; ++i) {
            state.StepsMade = stepsBy(frameNs(i));
            shown << model.read(state, clock.nanoseconds()).deliveredPerSec;
        }
        return shown;
    }

    double m_rate;
    std::int64_t m_startNs;
    std::int64_t m_stopNs = -1;
    DriveState state;
    MonitorModel model;
};

} // namespace

void TestDeliveredRate::steadyRateShowsWithoutFlicker_data()
{
    QTest::addColumn<double>("rate");
    QTest::addColumn<int>("tolerance");
    QTest::newRow("1 step/s") << 1.0 << 0;
    QTest::newRow("10 steps/s") << 10.0 << 0;
    QTest::newRow("37 steps/s") << 37.0 << 0;
    // Around the screen's own rate a step and a reading keep in step for
    // long stretches, and a count over one second may be one step off for
    // as long: that much, but no more, and no flicker.
    for (int rate : {23, 29, 30, 31, 47, 59, 60, 61, 89, 113, 120, 127, 251, 499})
        QTest::addRow("%d steps/s", rate) << double(rate) << 1;
    QTest::newRow("1000 steps/s") << 1000.0 << 2;
    QTest::newRow("32767 steps/s") << 32767.0 << 33;
}

// Once a second has passed, every frame shows the rate set: a count over
// "about a second" would show 11 every few frames at 10 steps/s.
void TestDeliveredRate::steadyRateShowsWithoutFlicker()
{
    QFETCH(double, rate);
    QFETCH(int, tolerance);
    Scene scene(rate);
    const QList<int> shown = scene.run(60 * 4);
    int changes = 0;
    for (qsizetype i = 2 * 60; i < shown.size(); ++i) {
        QVERIFY2(std::abs(shown[i] - int(rate)) <= tolerance,
                 qPrintable(QStringLiteral("frame %1 shows %2").arg(i).arg(shown[i])));
        changes += shown[i] != shown[i - 1];
    }
    // Two seconds: the figure may move between two neighbours now and then,
    // never blink from reading to reading.
    QVERIFY2(changes <= 4, qPrintable(QStringLiteral("%1 changes").arg(changes)));
}

void TestDeliveredRate::fallsToZeroOnceTheStepsStop()
{
    Scene scene(100.0);
    scene.m_stopNs = 2 * kSecond;
    const QList<int> shown = scene.run(60 * 6);
    QCOMPARE(shown[110], 100);
    // Never above what ran, and 0 from a second and a bit after the stop on.
    for (qsizetype i = 120; i < shown.size(); ++i)
        QVERIFY2(shown[i] <= 100, qPrintable(QString::number(shown[i])));
    for (qsizetype i = 60 * 3 + 10; i < shown.size(); ++i)
        QCOMPARE(shown[i], 0);
    QVERIFY(shown[150] > 0 && shown[150] < 100); // falling, not cut off
}

void TestDeliveredRate::nothingBeforeTheFirstStep()
{
    Scene scene(500.0, 10 * kSecond);
    const QList<int> shown = scene.run(60 * 3);
    QCOMPARE(shown.count(0), shown.size());
}

void TestDeliveredRate::stepsCountFromTheRunsStart()
{
    DriveState state;
    MonitorModel model;
    ScriptedMonotonicClock clock({kSecond, 2 * kSecond, 3 * kSecond});
    state.StepsMade = 120;
    state.StepsAtRunStart = 100;
    QCOMPARE(model.read(state, clock.nanoseconds()).stepsInRun, 20);
    state.StepsMade = 130;
    state.StepsAtRunStart = 130; // a new run has started
    QCOMPARE(model.read(state, clock.nanoseconds()).stepsInRun, 0);
    state.StepsMade = 131;
    const MonitorFrame frame = model.read(state, clock.nanoseconds());
    QCOMPARE(frame.stepsInRun, 1);
    QVERIFY(frame.deliveredPerSec > 0); // the count went on across the runs
}

// Two readings at one time would divide by nothing.
void TestDeliveredRate::aClockThatStandsStillIsNoReading()
{
    DeliveredRate rate;
    rate.sample(kSecond, 0);
    rate.sample(kSecond + kSecond / 2, 50);
    const double before = rate.stepsPerSecond();
    rate.sample(kSecond + kSecond / 2, 80);
    QCOMPARE(rate.stepsPerSecond(), before);
    QVERIFY(std::isfinite(before));
}

QTEST_GUILESS_MAIN(TestDeliveredRate)
#include "tst_deliveredrate.moc"
