#include "DriveState.h"
#include "GeneralNumber.h"
#include "RateBar.h"
#include "RecordingBusyWait.h"
#include "RecordingSleeper.h"
#include "ScriptedClock.h"
#include "ScriptedPump.h"
#include "StartupSequence.h"

#include <QStringList>
#include <QtTest>
#include <cmath>

namespace {

// Every fake writes into one shared log, so the test sees the tick's order.
struct Log
{
    QStringList lines;
};

class FakeSplash : public ISplashView
{
public:
    explicit FakeSplash(Log &log) : m_log(log) {}
    void setRateText(const QString &text) override { m_log.lines << QStringLiteral("text ") + text; }
    void setBarValue(float value) override
    {
        m_log.lines << QStringLiteral("bar %1").arg(double(value), 0, 'f', 0);
    }
    void closeSplash() override
    {
        m_log.lines << QStringLiteral("close");
        closed = true;
    }
    void stopTimer() override { m_log.lines << QStringLiteral("stop timer"); }
    bool closed = false;

private:
    Log &m_log;
};

} // namespace

class TestStartupSequence : public QObject
{
    Q_OBJECT

private slots:
    void tickRunsItsStepsInOrderOnce();
    void rateText_data();
    void rateText();
    void barValue_data();
    void barValue();
};

void TestStartupSequence::tickRunsItsStepsInOrderOnce()
{
    Log log;
    RecordingBusyWait wait;
    wait.onSpin = [&log](double n) { log.lines << QStringLiteral("spin %1").arg(n, 0, 'f', 0); };
    DriveState state;
    ScriptedClock clock;
    clock.onRead = [&log] { log.lines << QStringLiteral("clock"); };
    clock.readings = {100.0f, 106.25f};
    ScriptedPump pump;
    RecordingSleeper sleeper(log.lines);
    FakeSplash splash(log);
    bool splashClosedWhenMainShown = false;
    int mainShown = 0;
    StartupSequence sequence(state, {clock, pump, sleeper}, splash, [&] {
        log.lines << QStringLiteral("show main");
        splashClosedWhenMainShown = splash.closed;
        ++mainShown;
    });
    sequence.setBusyWait(wait);
    sequence.setLocale(QLocale::c());
    // A timer tick delivered inside the event pass must not start the work again.
    pump.everyPass = [&] {
        log.lines << QStringLiteral("events");
        sequence.tick();
    };

    sequence.tick();
    sequence.tick();

    const QStringList expected = {
        "clock", "spin 49999999", "clock", "text 7999999.84", "bar 1",
        "events", "sleep 2000", "close", "show main", "stop timer",
    };
    QCOMPARE(log.lines, expected);
    QCOMPARE(mainShown, 1);
    QVERIFY(splashClosedWhenMainShown);
    QCOMPARE(state.LoopsPerSec, 49999999.0 / 6.25);
}

void TestStartupSequence::rateText_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("expected");

    const QLocale point(QLocale::English, QLocale::UnitedStates);
    const QLocale comma(QLocale::Italian, QLocale::Italy);
    QTest::newRow("worked example, point") << 49999999.0 / 6.25 << point << "7999999.84";
    QTest::newRow("worked example, comma") << 49999999.0 / 6.25 << comma << "7999999,84";
    QTest::newRow("no grouping, no trailing zeros") << 1234567890.5 << comma << "1234567890,5";
    QTest::newRow("whole number") << 20000000.0 << point << "20000000";
    QTest::newRow("fifteen significant digits") << 1777777777.77777777 << point << "1777777777.77778";
    QTest::newRow("past fifteen digits") << 1.0e15 << point << "1E+15";
}

void TestStartupSequence::rateText()
{
    QFETCH(double, value);
    QFETCH(QLocale, locale);
    QFETCH(QString, expected);
    QCOMPARE(formatGeneralNumber(value, locale), expected);
}

void TestStartupSequence::barValue_data()
{
    QTest::addColumn<double>("rate");
    QTest::addColumn<float>("expected");

    QTest::newRow("reference processor on the mark") << RateBar::ReferenceRate << 8300000.0f;
    QTest::newRow("ten times the reference fills the bar") << RateBar::ReferenceRate * 10 << RateBar::Maximum;
    QTest::newRow("far above the top is clamped") << 1.0e13 << RateBar::Maximum;
    QTest::newRow("far below the bottom is clamped") << 1000.0 << RateBar::Minimum;
    QTest::newRow("zero rate") << 0.0 << RateBar::Minimum;
    QTest::newRow("not a number") << std::nan("") << RateBar::Minimum;
    QTest::newRow("infinite") << HUGE_VAL << RateBar::Maximum;
}

void TestStartupSequence::barValue()
{
    QFETCH(double, rate);
    QFETCH(float, expected);
    const float value = RateBar::valueForRate(rate);
    QVERIFY2(std::fabs(value - expected) <= expected * 1e-6f,
             qPrintable(QStringLiteral("%1 instead of %2").arg(double(value)).arg(double(expected))));
    QVERIFY(value >= RateBar::Minimum && value <= RateBar::Maximum);
}

QTEST_GUILESS_MAIN(TestStartupSequence)
#include "tst_startupsequence.moc"
