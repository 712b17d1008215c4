#include "DriveState.h"
#include "frmSplash.h"
#include "GeneralNumber.h"
#include "RecordingBusyWait.h"
#include "RecordingSleeper.h"
#include "ScriptedClock.h"
#include "ScriptedPump.h"
#include "SplashProgressBar.h"
#include "SurfaceLabel.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>
#include <QtTest>
#include <cmath>

class TestStartupFaults : public QObject
{
    Q_OBJECT

private slots:
    void tickHandsOverWhateverTheClockDoes_data();
    void tickHandsOverWhateverTheClockDoes();
};

void TestStartupFaults::tickHandsOverWhateverTheClockDoes_data()
{
    QTest::addColumn<QList<float>>("readings"); // start, end of each round, repeated
    QTest::addColumn<QString>("figure");        // Label3's text; empty: any positive figure
    QTest::addColumn<int>("barEnd");            // -1 bar at its minimum, 1 at its maximum, 0 anywhere

    QTest::newRow("crosses midnight")
        << QList<float>{86399.0f, 1.5f} << QStringLiteral("19999999.6") << 0;
    QTest::newRow("crosses midnight from a late reading")
        << QList<float>{86398.0f, 0.5f} << QStringLiteral("19999999.6") << 0;
    QTest::newRow("no time passes, ever") << QList<float>{100.0f} << QString() << 1;
    QTest::newRow("stuck at midnight") << QList<float>{0.0f} << QString() << 1;
    QTest::newRow("goes backwards a little")
        << QList<float>{100.0f, 99.5f} << QString() << 1;
    QTest::newRow("goes backwards by more than half a day")
        << QList<float>{80000.0f, 100.0f} << QString() << -1;
    QTest::newRow("far too fast for the bar")
        << QList<float>{10.0f, 10.001f} << QString() << 1;
    QTest::newRow("far too slow for the bar")
        << QList<float>{0.0f, 80000.0f} << QStringLiteral("624.9999875") << -1;
}

// A broken clock or an odd machine must never keep the tool on its start-up
// window: the tick always shows a figure, the bar stays inside its range and
// the main window opens, once.
void TestStartupFaults::tickHandsOverWhateverTheClockDoes()
{
    QFETCH(QList<float>, readings);
    QFETCH(QString, figure);
    QFETCH(int, barEnd);

    RecordingBusyWait wait;
    DriveState state;
    // Its readings in a loop, for as many rounds as the measurement takes.
    ScriptedClock clock({}, ScriptedClock::AfterScript::Cycle);
    clock.readings = readings;
    ScriptedPump pump;
    pump.deliverEvents = true;
    RecordingSleeper sleeper;
    int mainShown = 0;
    QString shownFigure;
    float barValue = 0;
    float barMin = 0;
    float barMax = 0;
    QPointer<frmSplash> splash;
    // What the window showed, read at the hand-over: it is closed by then,
    // its deletion not yet run.
    splash = new frmSplash(state, {clock, pump, sleeper}, [&] {
        ++mainShown;
        shownFigure = splash->Label3().text();
        barValue = splash->ProgressBar1()->Value();
        barMin = splash->ProgressBar1()->Min();
        barMax = splash->ProgressBar1()->Max();
    });
    splash->startup().setBusyWait(wait);
    splash->startup().setLocale(QLocale::c());
    splash->show();
    splash->Timer1()->start(0); // the tick, now rather than in two seconds
    QTRY_COMPARE_WITH_TIMEOUT(mainShown, 1, 5000);
    QTRY_VERIFY(splash.isNull());
    QTest::qWait(20);
    QCOMPARE(mainShown, 1);

    const double rate = state.LoopsPerSec;
    QVERIFY2(std::isfinite(rate) && rate > 0, qPrintable(QString::number(rate)));
    QVERIFY(!wait.asked.isEmpty());
    QCOMPARE(clock.reads, 2 * wait.asked.size());
    QCOMPARE(shownFigure, formatGeneralNumber(rate, QLocale::c()));
    if (!figure.isEmpty())
        QCOMPARE(shownFigure, figure);
    QVERIFY2(barValue >= barMin && barValue <= barMax, qPrintable(QString::number(barValue)));
    if (barEnd < 0)
        QCOMPARE(barValue, barMin);
    else if (barEnd > 0)
        QCOMPARE(barValue, barMax);
}

QTEST_MAIN(TestStartupFaults)
#include "tst_startupfaults.moc"
