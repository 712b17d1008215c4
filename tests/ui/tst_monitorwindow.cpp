#include "CountingAllocator.h"
#include "Form1Rig.h"
#include "FrameControl.h"
#include "LampPanel.h"
#include "MonitorLayout.h"
#include "MonitorWindow.h"
#include "MotorDrawing.h"
#include "OleColor.h"
#include "SteadyClock.h"
#include "SurfaceFigure.h"
#include "Twips.h"

#include <QElapsedTimer>
#include <QPushButton>
#include <QtTest>
#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>

namespace {

// Every reading of the drive's clock is a second on, so every step is due at
// once. The run loop's event pass: Qt's pending events, the live view's
// reading when `reading` is given (at every pass, far more often than its
// timer would), and "Stop" after `steps` steps. Between the end of one pass
// and the start of the next lies exactly the drive's work for one step.
struct MonitorRig : Rig
{
    SteadyClock viewClock;
    std::unique_ptr<MonitorWindow> monitor;
    MonitorWindow *reading = nullptr;
    QPushButton *stop = nullptr;
    int steps = 0;
    int runFor = 0; // ms; stops at whichever comes first
    int missedBytes = 0;
    long long driveAllocations = 0;

    explicit MonitorRig(bool withMonitor)
    {
        // The pass below delivers Qt's events itself and stops the run.
        pump.deliverEvents = false;
        pump.fallback = nullptr;
        pump.everyPass = [this] { pass(); };
        stop = control<QPushButton>("Command3");
        if (withMonitor) {
            monitor = std::make_unique<MonitorWindow>(state, viewClock);
            monitor->follow(*form);
        }
    }

    void pass()
    {
        if (pump.passes > 1)
            driveAllocations += CountingAllocator::allocations() - m_atPassEnd;
        QCoreApplication::processEvents();
        if (reading) {
            reading->refresh();
            if (reading->shown().byte != (state.PortByte & 0xFF))
                ++missedBytes;
        }
        if (pump.passes > steps || (runFor > 0 && m_since.isValid() && m_since.elapsed() >= runFor))
            stop->click();
        if (!m_since.isValid())
            m_since.start();
        m_atPassEnd = CountingAllocator::allocations();
    }

    void run(int stepsToRun, int runForMs = 0)
    {
        steps = stepsToRun;
        runFor = runForMs;
        // The fake port's own growth is no work of the drive's.
        port.writes.reserve(qsizetype(std::min(stepsToRun, 4'000'000)) + 8);
        control<QPushButton>("Command1")->click();
    }

private:
    long long m_atPassEnd = 0;
    QElapsedTimer m_since;
};

double distance(QPoint a, QPoint b)
{
    return std::hypot(a.x() - b.x(), a.y() - b.y());
}

} // namespace

class TestMonitorWindow : public QObject
{
    Q_OBJECT

private slots:
    void drawsWhatTheByteSays_data();
    void drawsWhatTheByteSays();
    void rotorStaysWhenTheWindingsGoOff();
    void countsAndRatesShown();
    void readsAtTheScreenPaceNeverPerStep();
    void opensAndClosesWithTheMainWindow();
    void followsAMainWindowAlreadyShown();
    void closingItByHandLeavesTheRunAlone();
    void aStepCostsTheDriveTheSameWithAndWithoutIt();
};

void TestMonitorWindow::drawsWhatTheByteSays_data()
{
    QTest::addColumn<int>("byte");
    QTest::addColumn<QString>("text");
    for (int byte : {65, 68, 66, 72, 69, 70, 74, 73})
        QTest::addRow("%d", byte) << byte << QStringLiteral("%1 = &H%2").arg(byte).arg(byte, 0, 16).toUpper();
}

// The lamps, the poles and the hand agree with the byte: every lamp of a
// line that is on is lit in its colour, its pole too, and the hand's dot is
// nearer every lit pole than any dark one.
void TestMonitorWindow::drawsWhatTheByteSays()
{
    QFETCH(int, byte);
    QFETCH(QString, text);
    DriveState state;
    SteadyClock clock;
    MonitorWindow monitor(state, clock);
    monitor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&monitor));
    state.PortByte = std::int16_t(byte);
    monitor.refresh();

    auto *lampFrame = monitor.controls().get<FrameControl>("Frame1");
    const QImage lamps = lampFrame->grab().toImage();
    for (int i = 0; i < OutputLines::Count; ++i) {
        const bool on = (byte >> OutputLines::Shown[i].bit) & 1;
        QCOMPARE(monitor.lamps().shown()[std::size_t(i)], on);
        const QPoint centre = QRect(Twips::rect(MonitorLayout::LampLeft, MonitorLayout::LampTop + i * MonitorLayout::LampPitch,
                                                MonitorLayout::LampSize, MonitorLayout::LampSize))
                                  .center();
        const QColor colour = lamps.pixelColor(centre);
        const QColor wanted = OleColor::toColor(!on ? MonitorLayout::LampOffColour
                                                : i < 4 ? MonitorLayout::PhaseOnColour
                                                        : MonitorLayout::EnableOnColour);
        QVERIFY2(colour == wanted, qPrintable(QStringLiteral("lamp %1 is %2").arg(i).arg(colour.name())));
    }
    const MotorDrawing &drawing = monitor.drawing();
    double farthestLit = 0;
    double nearestDark = 1e9;
    for (int bit = 0; bit < 4; ++bit) {
        const bool on = (byte >> bit) & 1;
        QCOMPARE(drawing.poleLit(bit), on);
        const double d = distance(drawing.tipCentre(), drawing.poleCentre(bit));
        if (on)
            farthestLit = std::max(farthestLit, d);
        else
            nearestDark = std::min(nearestDark, d);
    }
    QVERIFY2(farthestLit < nearestDark, qPrintable(QStringLiteral("%1 vs %2").arg(farthestLit).arg(nearestDark)));
    auto *byteFrame = monitor.controls().get<FrameControl>("Frame2");
    const auto *label = dynamic_cast<const SurfaceFigure *>(byteFrame->surface().find(QStringLiteral("lblByte")));
    QVERIFY(label);
    QCOMPARE(label->text(), text);
}

void TestMonitorWindow::rotorStaysWhenTheWindingsGoOff()
{
    DriveState state;
    SteadyClock clock;
    MonitorWindow monitor(state, clock);
    state.PortByte = 74;
    monitor.refresh();
    const QPoint tip = monitor.drawing().tipCentre();
    state.PortByte = 64;
    monitor.refresh();
    QCOMPARE(monitor.drawing().tipCentre(), tip);
    for (int bit = 0; bit < 4; ++bit)
        QVERIFY(!monitor.drawing().poleLit(bit));
    QCOMPARE(monitor.lamps().shown(), (OutputLines::Lamps{false, false, false, false, true}));
}

void TestMonitorWindow::countsAndRatesShown()
{
    DriveState state;
    state.StepSec = 250;
    state.StepsMade = 1000;
    state.StepsAtRunStart = 400;
    SteadyClock clock;
    MonitorWindow monitor(state, clock);
    auto *frame = monitor.controls().get<FrameControl>("Frame4");
    const auto text = [frame](const char *name) {
        return dynamic_cast<const SurfaceFigure &>(*frame->surface().find(QString::fromLatin1(name))).text();
    };
    QCOMPARE(text("lblSteps"), QStringLiteral("600"));
    QCOMPARE(text("lblStepSec"), QStringLiteral("250"));
    QCOMPARE(text("lblRate"), QStringLiteral("0"));
}

// A run of as many steps as half a second allows: the view reads the drive
// some 30 times, never more than 60 a second, and the steps go on between.
void TestMonitorWindow::readsAtTheScreenPaceNeverPerStep()
{
    MonitorRig rig(true);
    rig.form->show();
    QTRY_VERIFY(rig.monitor->isVisible()); // once the desktop has placed the main window
    QVERIFY(QTest::qWaitForWindowExposed(rig.monitor.get()));
        const int before = rig.monitor->readings();
    QElapsedTimer elapsed;
    elapsed.start();
    rig.run(50'000'000, 500);
    const double seconds = elapsed.nsecsElapsed() / 1e9;
    const int readings = rig.monitor->readings() - before;
    QVERIFY2(readings <= seconds * 60 + 2, qPrintable(QStringLiteral("%1 in %2 s").arg(readings).arg(seconds)));
    QVERIFY2(readings >= 5, qPrintable(QString::number(readings))); // its timer does fire inside the run
    QVERIFY2(rig.pump.passes > 20 * readings, qPrintable(QString::number(rig.pump.passes)));
    QCOMPARE(rig.monitor->intervalMs(), 17);
    QVERIFY(rig.monitor->shown().stepsInRun > 0);
    QVERIFY(rig.monitor->shown().stepsInRun < rig.pump.passes);
}

void TestMonitorWindow::opensAndClosesWithTheMainWindow()
{
    MonitorRig rig(true);
    QVERIFY(!rig.monitor->isVisible());
    rig.form->show();
    QTRY_VERIFY(rig.monitor->isVisible()); // once the desktop has placed the main window
    QVERIFY(QTest::qWaitForWindowExposed(rig.monitor.get()));
    // The platform places the main window's frame when it likes; the view
    // follows it there.
    const auto besideMain = [&rig] {
        return rig.form->frameGeometry().topRight() + QPoint(1 + MonitorLayout::GapPixels, 0);
    };
    QTRY_COMPARE(rig.monitor->frameGeometry().topLeft(), besideMain());
    QCOMPARE(rig.monitor->height(), rig.form->height());

    rig.form->move(rig.form->pos() + QPoint(40, 30));
    QTRY_COMPARE(rig.monitor->frameGeometry().topLeft(), besideMain());
    rig.form->hide();
    QVERIFY(!rig.monitor->isVisible());
    rig.form->show();
    QVERIFY(rig.monitor->isVisible());
    const QList<Write> writes = rig.port.writes;
    rig.form.reset();
    QVERIFY(!rig.monitor->isVisible());
    QCOMPARE(rig.port.writes, writes);
}

// Attached to a main window already on screen, it opens beside it at once:
// no first showing of the main window is left to wait for.
void TestMonitorWindow::followsAMainWindowAlreadyShown()
{
    MonitorRig rig(false);
    rig.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(rig.form.get()));
    rig.monitor = std::make_unique<MonitorWindow>(rig.state, rig.viewClock);
    rig.monitor->follow(*rig.form);
    QVERIFY(rig.monitor->isVisible());
    QTRY_COMPARE(rig.monitor->frameGeometry().topLeft(),
                 rig.form->frameGeometry().topRight() + QPoint(1 + MonitorLayout::GapPixels, 0));
}

// Closed by its own frame mid-run, it stops reading; the run goes on and
// the main window stays as it was.
void TestMonitorWindow::closingItByHandLeavesTheRunAlone()
{
    MonitorRig rig(true);
    rig.form->show();
    QTRY_VERIFY(rig.monitor->isVisible()); // once the desktop has placed the main window
    QVERIFY(QTest::qWaitForWindowExposed(rig.monitor.get()));
    int readingsAtClose = -1;
    auto *stopButton = rig.stop;
    QObject closer;
    QTimer::singleShot(50, &closer, [&] {
        rig.monitor->close();
        readingsAtClose = rig.monitor->readings();
    });
    rig.run(50'000'000, 300);
    QVERIFY(readingsAtClose > 0);
    QCOMPARE(rig.monitor->readings(), readingsAtClose);
    QVERIFY(!rig.monitor->isVisible());
    QVERIFY(rig.form->isVisible());
    QVERIFY(!stopButton->isEnabled());
    QCOMPARE(rig.port.values().constLast(), 64);
    QVERIFY(rig.port.writes.size() > 100); // the run went on long after the close
}

// The same run with the view reading at every step and without it: the
// same writes in the same order, the same clock reads, and no allocation
// in the drive's own part of any step.
void TestMonitorWindow::aStepCostsTheDriveTheSameWithAndWithoutIt()
{
    constexpr int Steps = 400;
    MonitorRig without(false);
    without.form->show();
    MonitorRig with(true);
    with.form->show();
    QTRY_VERIFY(with.monitor->isVisible()); // once the desktop has placed the main window
    QVERIFY(QTest::qWaitForWindowExposed(with.monitor.get()));
    with.reading = with.monitor.get();

    without.run(Steps);
    with.run(Steps);

    QCOMPARE(with.port.writes.size(), Steps + 2); // the load's 64, the steps, the stop's 64
    QCOMPARE(with.port.writes, without.port.writes);
    QCOMPARE(with.clock.reads, without.clock.reads);
    QCOMPARE(with.state.StepsMade, std::int64_t(Steps));
    QCOMPARE(with.missedBytes, 0);
    QCOMPARE(without.driveAllocations, 0);
    QCOMPARE(with.driveAllocations, 0);
}

QTEST_MAIN(TestMonitorWindow)
#include "tst_monitorwindow.moc"
