#include "DriveFakes.h"
#include "SteadyClock.h"
#include "StepPacer.h"

#include <QTest>
#include <limits>

// The run loop's timing, on a machine in virtual time: each step's write is
// stamped with the machine's clock, so every interval can be checked to the
// nanosecond.

namespace {

// A step goes at the first clock reading past its deadline; the last chunk
// of the wait and that reading may carry it this far beyond.
constexpr double kToleranceNs = 100.0;

struct Run
{
    double startNs = 0;        // the reading that starts the schedule
    QVector<double> stepsNs;   // one per step, without the final switch-off
};

// Runs `steps` steps (the event pass after the last one stops the run).
Run runSteps(DriveRig &rig, int stepSec, int steps)
{
    rig.state.StepSec = static_cast<std::int16_t>(stepSec);
    rig.stopAtPass(steps + 1);
    Run run;
    run.startNs = rig.machine.nowNs + rig.machine.readCostNs;
    rig.drive.RunMotor();
    run.stepsNs = rig.port.times.mid(0, rig.port.times.size() - 1);
    return run;
}

// The interval that ends with step k; step 0's starts at the Start click.
double intervalNs(const Run &run, int k)
{
    return run.stepsNs[k] - (k == 0 ? run.startNs : run.stepsNs[k - 1]);
}

double periodNs(int stepSec)
{
    return 1e9 / stepSec;
}

// The first interval from `first` on that is off what `expectedNs(k)` gives
// it, described; empty when none is.
template <typename Expected>
QString offInterval(const Run &run, int first, Expected expectedNs)
{
    for (int k = first; k < run.stepsNs.size(); ++k) {
        const double expected = expectedNs(k);
        if (std::abs(intervalNs(run, k) - expected) > kToleranceNs)
            return QStringLiteral("interval %1: %2 ns, not %3").arg(k).arg(intervalNs(run, k)).arg(expected);
    }
    return {};
}

bool noneBelowFloor(const Run &run, double period)
{
    for (int k = 0; k < run.stepsNs.size(); ++k) {
        if (intervalNs(run, k) < StepPacer::FloorShare * period - 1.0)
            return false;
    }
    return true;
}

} // namespace

class TestStepPacing : public QObject
{
    Q_OBJECT
private slots:
    void stepsComeBackToDeadlines_data();
    void stepsComeBackToDeadlines();
    void lateStep_data();
    void lateStep();
    void speedChangeTakesEffectAtNextStep_data();
    void speedChangeTakesEffectAtNextStep();
    void fasterSpeedInheritsOneNewPeriodOfDebt();
    void frequentShortStopsCostNoSpeed_data();
    void frequentShortStopsCostNoSpeed();
    void clockThatMisbehaves_data();
    void clockThatMisbehaves();
    void realClockNeverStepsEarly();
};

// From step `settled` on, every step falls on the grid of deadlines one
// period apart, with no drift however long the run; before it, no interval
// is short. A start-up figure that is wrong, or no figure at all, may cost
// the first steps their timing, and the next four pay back what they can of
// it, but it never hangs the loop.
constexpr int kSettledAfterBadFigure = 6;

void TestStepPacing::stepsComeBackToDeadlines_data()
{
    QTest::addColumn<int>("stepSec");
    QTest::addColumn<double>("loopsPerSec");
    QTest::addColumn<int>("settled");

    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    QTest::newRow("true figure, 1 step/s") << 1 << 3e9 << 0;
    QTest::newRow("true figure, 1000 steps/s") << 1000 << 3e9 << 0;
    QTest::newRow("true figure, 32767 steps/s") << 32767 << 3e9 << 0;
    QTest::newRow("half the loop's speed") << 1000 << 1.5e9 << 0;
    QTest::newRow("twice the loop's speed") << 32767 << 6e9 << 0;
    QTest::newRow("0") << 1000 << 0.0 << kSettledAfterBadFigure;
    QTest::newRow("NaN") << 1000 << nan << kSettledAfterBadFigure;
    QTest::newRow("infinity") << 1000 << inf << kSettledAfterBadFigure;
    QTest::newRow("negative") << 1000 << -3e9 << kSettledAfterBadFigure;
    QTest::newRow("1e3, 1000 steps/s") << 1000 << 1e3 << kSettledAfterBadFigure;
    QTest::newRow("1e3, 32767 steps/s") << 32767 << 1e3 << kSettledAfterBadFigure;
    QTest::newRow("1e12, 1 step/s") << 1 << 1e12 << kSettledAfterBadFigure;
    QTest::newRow("1e12, 32767 steps/s") << 32767 << 1e12 << kSettledAfterBadFigure;
}

void TestStepPacing::stepsComeBackToDeadlines()
{
    QFETCH(int, stepSec);
    QFETCH(double, loopsPerSec);
    QFETCH(int, settled);

    DriveRig rig;
    rig.state.LoopsPerSec = loopsPerSec;
    const Run run = runSteps(rig, stepSec, 12);

    QCOMPARE(run.stepsNs.size(), 12);
    const double period = periodNs(stepSec);
    QVERIFY(noneBelowFloor(run, period));
    const double anchor = settled == 0 ? run.startNs : run.stepsNs[settled - 1];
    for (int k = settled; k < run.stepsNs.size(); ++k) {
        const double due = anchor + (k - settled + 1) * period;
        QVERIFY2(std::abs(run.stepsNs[k] - due) <= kToleranceNs,
                 qPrintable(QStringLiteral("step %1 came %2 ns off its deadline").arg(k).arg(run.stepsNs[k] - due)));
    }
}

// A slow handler in the event pass before step 3 makes it late. The debt is
// paid back a quarter period an interval, up to one period of it: after
// that the schedule holds again, and no hold-up, however long, brings more
// than four quickened steps.
void TestStepPacing::lateStep_data()
{
    QTest::addColumn<double>("handlerPeriods");
    QTest::addColumn<QVector<double>>("nextIntervalsPeriods");

    QTest::newRow("on time despite a slow handler") << 0.9 << QVector<double>{1.0};
    QTest::newRow("late within a quarter") << 1.2 << QVector<double>{0.8, 1.0};
    QTest::newRow("late by a quarter") << 1.25 << QVector<double>{0.75, 1.0};
    QTest::newRow("late by just over a quarter") << 1.3 << QVector<double>{0.75, 0.95, 1.0};
    QTest::newRow("late by half a period") << 1.5 << QVector<double>{0.75, 0.75, 1.0};
    QTest::newRow("late by a whole period") << 2.0 << QVector<double>{0.75, 0.75, 0.75, 0.75, 1.0};
    QTest::newRow("a long hold-up, no burst after it") << 40.0 << QVector<double>{0.75, 0.75, 0.75, 0.75, 1.0};
}

void TestStepPacing::lateStep()
{
    QFETCH(double, handlerPeriods);
    QFETCH(QVector<double>, nextIntervalsPeriods);

    DriveRig rig;
    const double period = periodNs(1000);
    rig.pump.script[4] = [&] { rig.machine.nowNs += handlerPeriods * period; };
    const Run run = runSteps(rig, 1000, 12);

    const double late = std::max(0.0, handlerPeriods - 1.0) * period;
    QVERIFY(std::abs(intervalNs(run, 3) - period - late) <= kToleranceNs);
    const QString off = offInterval(run, 4, [&](int k) { return nextIntervalsPeriods.value(k - 4, 1.0) * period; });
    QVERIFY2(off.isEmpty(), qPrintable(off));
    QVERIFY(noneBelowFloor(run, period));
}

// The speed set in the event pass before step 3 times step 3 already.
void TestStepPacing::speedChangeTakesEffectAtNextStep_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");

    QTest::newRow("faster") << 100 << 1000;
    QTest::newRow("slower") << 1000 << 100;
    QTest::newRow("to the top") << 1 << 32767;
    QTest::newRow("from the top") << 32767 << 1;
}

void TestStepPacing::speedChangeTakesEffectAtNextStep()
{
    QFETCH(int, from);
    QFETCH(int, to);

    DriveRig rig;
    rig.pump.script[3] = [&] { rig.state.StepSec = static_cast<std::int16_t>(to); };
    const Run run = runSteps(rig, from, 6);

    const QString off = offInterval(run, 0, [&](int k) { return periodNs(k < 2 ? from : to); });
    QVERIFY2(off.isEmpty(), qPrintable(off));
}

// Step 2 is late by a fifth of the slow period; the speed then goes up
// tenfold before step 3. That debt is two of the new periods: only one of
// them is carried, and it is paid back at the new speed's floor.
void TestStepPacing::fasterSpeedInheritsOneNewPeriodOfDebt()
{
    DriveRig rig;
    const double slow = periodNs(100);
    const double fast = periodNs(1000);
    rig.pump.script[3] = [&] { rig.machine.nowNs += 1.2 * slow; };
    rig.pump.script[4] = [&] { rig.state.StepSec = 1000; };
    const Run run = runSteps(rig, 100, 10);

    const QString off = offInterval(run, 3, [&](int k) { return (k < 7 ? StepPacer::FloorShare : 1.0) * fast; });
    QVERIFY2(off.isEmpty(), qPrintable(off));
}

// A busy or virtual machine stops the stepping thread briefly and often; at
// the top speed each stop makes a step late by a good part of a period.
// Paid back, such stops cost the run nothing: its last step falls where it
// would have without them. Only lateness beyond one period is lost.
void TestStepPacing::frequentShortStopsCostNoSpeed_data()
{
    QTest::addColumn<double>("latePeriods"); // how late each stop makes its step
    QTest::addColumn<double>("lostPeriods"); // what each stop costs the run

    QTest::newRow("a third of a period") << 0.3 << 0.0;
    QTest::newRow("most of a period") << 0.7 << 0.0;
    QTest::newRow("just under a period") << 0.95 << 0.0;
    QTest::newRow("three periods") << 3.0 << 2.0;
}

void TestStepPacing::frequentShortStopsCostNoSpeed()
{
    QFETCH(double, latePeriods);
    QFETCH(double, lostPeriods);

    constexpr int kStepSec = 32767;
    constexpr int kSteps = 400;
    constexpr int kEvery = 20;
    DriveRig rig;
    const double period = periodNs(kStepSec);
    // A hold-up of one period only uses up the wait; what lies beyond makes
    // the step late.
    for (int pass = 5; pass <= kSteps; pass += kEvery)
        rig.pump.script[pass] = [&] { rig.machine.nowNs += (1.0 + latePeriods) * period; };
    const Run run = runSteps(rig, kStepSec, kSteps);

    QCOMPARE(run.stepsNs.size(), kSteps);
    const double stops = std::ceil((kSteps - 4) / double(kEvery));
    const double expected = run.startNs + (kSteps + stops * lostPeriods) * period;
    // A stop beyond the cap also gives up the clock reads between its wait
    // and its write, some tens of ns each time.
    const double tolerance = kToleranceNs * (lostPeriods > 0 ? stops : 1.0);
    QVERIFY2(std::abs(run.stepsNs.last() - expected) <= tolerance,
             qPrintable(QStringLiteral("the last step came %1 periods off").arg((run.stepsNs.last() - expected) / period)));
    QVERIFY(noneBelowFloor(run, period));
}

// A clock that stops, or that goes back, must neither hang the loop (the
// event pass has to keep running so that Stop works) nor let steps come in a
// burst once it behaves again. While it shows no time passing, the loop's
// speed as last seen times the steps.
void TestStepPacing::clockThatMisbehaves_data()
{
    QTest::addColumn<double>("loopsPerSec");
    QTest::addColumn<int>("freezePass");   // 0: before Start
    QTest::addColumn<int>("thawPass");     // the clock then shows the true time again
    QTest::addColumn<double>("backNs");    // set back in pass 4
    QTest::addColumn<bool>("paced");       // intervals stay near the period throughout

    QTest::newRow("frozen from the start") << 3e9 << 0 << 0 << 0.0 << true;
    QTest::newRow("frozen mid-run") << 3e9 << 4 << 0 << 0.0 << true;
    QTest::newRow("frozen, then running again") << 3e9 << 3 << 6 << 0.0 << true;
    QTest::newRow("set back by a minute") << 3e9 << 0 << 0 << -60e9 << true;
    QTest::newRow("frozen from the start, no start-up figure") << 0.0 << 0 << 0 << 0.0 << false;
}

void TestStepPacing::clockThatMisbehaves()
{
    QFETCH(double, loopsPerSec);
    QFETCH(int, freezePass);
    QFETCH(int, thawPass);
    QFETCH(double, backNs);
    QFETCH(bool, paced);

    DriveRig rig;
    rig.state.LoopsPerSec = loopsPerSec;
    if (freezePass == 0)
        rig.machine.freeze();
    else
        rig.pump.script[freezePass] = [&] { rig.machine.freeze(); };
    if (thawPass > 0)
        rig.pump.script[thawPass] = [&] { rig.machine.frozen = false; };
    if (backNs != 0)
        rig.pump.script[4] = [&] { rig.machine.shownOffsetNs = backNs; };

    Run run;
    try {
        run = runSteps(rig, 1000, 10);
    } catch (const MachineHung &) {
        QFAIL("the wait never ended");
    }

    QCOMPARE(rig.pump.passes, 11);
    QCOMPARE(run.stepsNs.size(), 10);
    QCOMPARE(rig.port.values().last(), 64);
    const double period = periodNs(1000);
    if (paced) {
        QVERIFY(noneBelowFloor(run, period));
        for (int k = 0; k < run.stepsNs.size(); ++k)
            QVERIFY2(intervalNs(run, k) <= 1.25 * period, qPrintable(QString::number(intervalNs(run, k))));
    }
}

// The shipped clock and loop together: however loaded the machine, a step
// may come late but never before the floor. Only this bound is checked; how
// late steps come depends on the machine.
void TestStepPacing::realClockNeverStepsEarly()
{
    SteadyClock clock;
    StepPacer pacer(clock, spinLoopWait(), 1e3);
    constexpr int kStepSec = 2000;
    std::int64_t last = clock.nanoseconds();
    for (int k = 0; k < 40; ++k) {
        pacer.waitForStep(kStepSec);
        const std::int64_t now = clock.nanoseconds();
        pacer.stepMade();
        QVERIFY2(static_cast<double>(now - last) >= StepPacer::FloorShare * periodNs(kStepSec),
                 qPrintable(QStringLiteral("interval %1 ns").arg(now - last)));
        last = now;
    }
}

QTEST_GUILESS_MAIN(TestStepPacing)
#include "tst_steppacing.moc"
