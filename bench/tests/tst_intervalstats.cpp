#include "IntervalStats.h"
#include "TargetReport.h"

#include <QTest>
#include <cmath>

// The benchmark's arithmetic: a wrong rank, an interval counted twice or a
// period in the wrong unit would make every figure in docs/step-timing.md wrong.
class TestIntervalStats : public QObject
{
    Q_OBJECT

private slots:
    void percentileIsNearestRank_data();
    void percentileIsNearestRank();
    void spread_data();
    void spread();
    void runSummary_data();
    void runSummary();
    void outsideShareNeedsAPassPerWrite();
    void slowPassesCountedPerSecond();
    void tooShortARunGivesNothing();
    void verdicts_data();
    void verdicts();
    void rateTargets_data();
    void rateTargets();
};

void TestIntervalStats::percentileIsNearestRank_data()
{
    QTest::addColumn<std::vector<double>>("values");
    QTest::addColumn<double>("p");
    QTest::addColumn<double>("expected");

    std::vector<double> hundred;
    for (int i = 100; i >= 1; --i)
        hundred.push_back(i);
    QTest::newRow("p99 of 1..100, given backwards") << hundred << 99.0 << 99.0;
    QTest::newRow("median of 1..100 is the 50th") << hundred << 50.0 << 50.0;
    QTest::newRow("p100 is the largest") << hundred << 100.0 << 100.0;
    QTest::newRow("p0 is the smallest") << hundred << 0.0 << 1.0;
    QTest::newRow("p99 of three is the largest") << std::vector<double>{3, 1, 2} << 99.0 << 3.0;
    QTest::newRow("median of four is the second") << std::vector<double>{4, 1, 3, 2} << 50.0 << 2.0;
    QTest::newRow("empty") << std::vector<double>{} << 50.0 << 0.0;
}

void TestIntervalStats::percentileIsNearestRank()
{
    QFETCH(std::vector<double>, values);
    QFETCH(double, p);
    QFETCH(double, expected);
    QCOMPARE(percentile(values, p), expected);
}

void TestIntervalStats::spread_data()
{
    QTest::addColumn<std::vector<double>>("values");
    QTest::addColumn<double>("expected");

    QTest::newRow("1 %, order does not matter") << std::vector<double>{101, 100, 100.5} << 1.0;
    QTest::newRow("0.90 to 1.30 ms") << std::vector<double>{1.30, 0.90, 1.0} << (1.30 / 0.90 - 1) * 100;
    QTest::newRow("one value") << std::vector<double>{7} << 0.0;
    QTest::newRow("zero minimum") << std::vector<double>{0, 5} << 0.0;
}

void TestIntervalStats::spread()
{
    QFETCH(std::vector<double>, values);
    QFETCH(double, expected);
    QVERIFY(std::fabs(spreadPct(values) - expected) < 1e-9);
}

void TestIntervalStats::runSummary_data()
{
    QTest::addColumn<std::vector<std::uint64_t>>("writes");
    QTest::addColumn<double>("requested");
    QTest::addColumn<double>("rate");
    QTest::addColumn<double>("errorPct");
    QTest::addColumn<double>("medianUs");
    QTest::addColumn<double>("p99Us");
    QTest::addColumn<double>("maxUs");
    QTest::addColumn<double>("shortestShare");

    // Stamps in ns, starting far from zero as CLOCK_MONOTONIC does.
    const std::uint64_t t0 = 5'000'000'000;
    QTest::newRow("exact 1 ms") << std::vector<std::uint64_t>{t0, t0 + 1'000'000, t0 + 2'000'000, t0 + 3'000'000}
                                << 1000.0 << 1000.0 << 0.0 << 0.0 << 0.0 << 0.0 << 1.0;
    QTest::newRow("1 % long period is slow")
        << std::vector<std::uint64_t>{t0, t0 + 1'010'000, t0 + 2'020'000} << 1000.0 << 1000.0 / 1.01
        << (1 / 1.01 - 1) * 100 << 10.0 << 10.0 << 10.0 << 1.01;
    // A late step and the early one after it: the mean rate is right, the
    // two deviations are not averaged away.
    QTest::newRow("late then early")
        << std::vector<std::uint64_t>{t0, t0 + 1'000'000, t0 + 2'000'000, t0 + 3'500'000, t0 + 4'000'000,
                                      t0 + 5'000'000}
        << 1000.0 << 1000.0 << 0.0 << 0.0 << 500.0 << 500.0 << 0.5;
    QTest::newRow("32767 steps/s")
        << std::vector<std::uint64_t>{t0, t0 + 30'518, t0 + 61'036} << 32767.0 << 2e9 / 61'036
        << (2e9 / 61'036 / 32767 - 1) * 100 << std::fabs(30'518 - 1e9 / 32767) / 1000
        << std::fabs(30'518 - 1e9 / 32767) / 1000 << std::fabs(30'518 - 1e9 / 32767) / 1000
        << 30'518 / (1e9 / 32767);
}

void TestIntervalStats::runSummary()
{
    QFETCH(std::vector<std::uint64_t>, writes);
    QFETCH(double, requested);
    QFETCH(double, rate);
    QFETCH(double, errorPct);
    QFETCH(double, medianUs);
    QFETCH(double, p99Us);
    QFETCH(double, maxUs);
    QFETCH(double, shortestShare);

    const StepTiming t = summariseRun(writes, {}, requested);
    QCOMPARE(t.steps, writes.size());
    QVERIFY2(std::fabs(t.meanRate - rate) < 1e-6, qPrintable(QString::number(t.meanRate)));
    QVERIFY2(std::fabs(t.rateErrorPct - errorPct) < 1e-9, qPrintable(QString::number(t.rateErrorPct)));
    QVERIFY2(std::fabs(t.medianUs - medianUs) < 1e-9, qPrintable(QString::number(t.medianUs)));
    QVERIFY2(std::fabs(t.p99Us - p99Us) < 1e-9, qPrintable(QString::number(t.p99Us)));
    QVERIFY2(std::fabs(t.maxUs - maxUs) < 1e-9, qPrintable(QString::number(t.maxUs)));
    QVERIFY2(std::fabs(t.shortestShare - shortestShare) < 1e-9, qPrintable(QString::number(t.shortestShare)));
}

// Each pass ends 900 us before its write in a 1 ms period: a tenth of every
// period is spent outside the wait. Without a pass for every write the share
// cannot be known and must not come out as a plausible number.
void TestIntervalStats::outsideShareNeedsAPassPerWrite()
{
    const std::vector<std::uint64_t> writes{10'000'000, 11'000'000, 12'000'000, 13'000'000};
    std::vector<std::uint64_t> passes;
    for (std::uint64_t w : writes)
        passes.push_back(w - 900'000);
    QVERIFY(std::fabs(summariseRun(writes, passes, 1000).outsideShare - 0.1) < 1e-12);

    passes.pop_back();
    QVERIFY(std::isnan(summariseRun(writes, passes, 1000).outsideShare));
}

// Pass k runs from write k-1 to the end of pass k: over 10 us it counts,
// exactly 10 us does not; without a pass for every write nothing is made up.
void TestIntervalStats::slowPassesCountedPerSecond()
{
    const std::vector<std::uint64_t> writes{0, 1'000'000, 2'000'000, 3'000'000, 4'000'000};
    const std::vector<std::uint64_t> passes{0, 2'000, 1'010'000, 2'030'000, 3'050'000};
    const StepTiming timing = summariseRun(writes, passes, 1000);
    QCOMPARE(timing.slowPassesPerSec, 2 * 1e9 / 4'000'000); // two slow passes in 4 ms
    QCOMPARE(timing.slowPassMedianUs, 30.0);                // nearest rank of 30 and 50

    const std::vector<std::uint64_t> fewer(passes.begin(), passes.end() - 1);
    QCOMPARE(summariseRun(writes, fewer, 1000).slowPassesPerSec, 0.0);
}

void TestIntervalStats::tooShortARunGivesNothing()
{
    const StepTiming one = summariseRun(std::vector<std::uint64_t>{123}, {}, 1000);
    QCOMPARE(one.steps, std::size_t{1});
    QCOMPARE(one.meanRate, 0.0);
    QCOMPARE(one.maxUs, 0.0);
    QVERIFY(intervalsNs(std::vector<std::uint64_t>{}).empty());
}

void TestIntervalStats::verdicts_data()
{
    QTest::addColumn<double>("figure");
    QTest::addColumn<double>("target");
    QTest::addColumn<double>("noise");
    QTest::addColumn<int>("expected");

    QTest::newRow("under target") << 0.3 << 0.5 << 0.0 << int(Verdict::Met);
    QTest::newRow("on target") << 0.5 << 0.5 << 4.0 << int(Verdict::Met);
    QTest::newRow("over target, inside noise") << 2.0 << 0.5 << 4.0 << int(Verdict::WithinNoise);
    QTest::newRow("over target and noise") << 5.0 << 0.5 << 4.0 << int(Verdict::Missed);
    QTest::newRow("no noise allowance") << 1.6 << 1.5 << 0.0 << int(Verdict::Missed);
}

void TestIntervalStats::verdicts()
{
    QFETCH(double, figure);
    QFETCH(double, target);
    QFETCH(double, noise);
    QFETCH(int, expected);
    QCOMPARE(int(judge(figure, target, noise)), expected);
}

void TestIntervalStats::rateTargets_data()
{
    QTest::addColumn<double>("requested");
    QTest::addColumn<double>("target");

    QTest::newRow("1") << 1.0 << 0.5;
    QTest::newRow("1000") << 1000.0 << 0.5;
    QTest::newRow("5000") << 5000.0 << 0.5;
    QTest::newRow("10000 has none") << 10000.0 << 0.0;
    QTest::newRow("20000 has none") << 20000.0 << 0.0;
    QTest::newRow("32767") << 32767.0 << 2.0;
}

void TestIntervalStats::rateTargets()
{
    QFETCH(double, requested);
    QFETCH(double, target);
    QCOMPARE(rateErrorTargetPct(requested), target);
}

QTEST_APPLESS_MAIN(TestIntervalStats)
#include "tst_intervalstats.moc"
