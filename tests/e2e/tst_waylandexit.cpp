#include "DesktopSession.h"
#include "PortTraceReader.h"
#include "TraceBytes.h"
#include "WaylandSession.h"

#include <QTest>

// The real executable as a native Wayland client of a headless compositor,
// the motor running, and the compositor killed: Qt's Wayland plugin then
// ends the process with _exit(), where neither the window nor a handler
// runs, so it is the guardian that must leave the windings off.

namespace {

constexpr int HandOverTimeoutMs = 90000;
static constexpr int FullCycle[] = {68, 66, 72, 65};


} // namespace

class TestWaylandExit : public QObject
{
    Q_OBJECT

private slots:
    void compositorKilledWhileRunning();
};

void TestWaylandExit::compositorKilledWhileRunning()
{
    const QString missing = WaylandSession::missingTools();
    QVERIFY2(missing.isEmpty(), qPrintable(missing));
    WaylandSession session;
    QString fault = session.startCompositor();
    if (fault.isEmpty())
        fault = session.startTool(QStringLiteral(QUARNET_EXECUTABLE));
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
    const QString trace = session.tracePath();
    QVERIFY2(DesktopSession::waitFor([&] { return !traceBytes(trace).isEmpty(); }, HandOverTimeoutMs),
             "no hand-over to the main window");

    // The main window takes the focus with "Start", first in its tab order.
    QVERIFY2(DesktopSession::waitFor([&] { return session.focusedTitle().startsWith(QLatin1String("Quarnet")); }, 30000),
             qPrintable(QStringLiteral("the main window never had the focus: ") + session.focusedTitle()));
    // The compositor reports the focus a moment before the toolkit has put
    // it on "Start", and a key that comes first goes nowhere. At one step a
    // second, a run that started shows a step within a second, so a press
    // is tried again only after five with none; a second press then meets
    // "Start" still focused, never "Chiudi".
    for (int attempt = 0; attempt < 3 && traceBytes(trace).size() < 2; ++attempt) {
        fault = session.press({QStringLiteral("space")});
        QVERIFY2(fault.isEmpty(), qPrintable(fault));
        DesktopSession::waitFor([&] { return traceBytes(trace).size() > 1; }, 5000);
    }
    QVERIFY2(DesktopSession::waitFor([&] { return traceBytes(trace).size() > 3; }, 30000),
             qPrintable(QStringLiteral("the motor did not step: ") + bytesText(traceBytes(trace))));

    session.killCompositor();
    QVERIFY2(DesktopSession::waitFor([&] { return session.tool().state() == QProcess::NotRunning; }, 20000),
             "still running after its compositor went away");
    QCOMPARE(session.tool().exitStatus(), QProcess::NormalExit);
    // The guardian writes once the process has gone, a moment after.
    QVERIFY2(DesktopSession::waitFor([&] { return traceBytes(trace).last() == 64; }, 10000),
             qPrintable(QStringLiteral("a winding left on: ") + bytesText(traceBytes(trace))));

    const QList<int> bytes = traceBytes(trace);
    QCOMPARE(bytes.first(), 64);
    for (qsizetype i = 1; i + 1 < bytes.size(); ++i)
        QVERIFY2(bytes[i] == FullCycle[(i - 1) % 4], qPrintable(bytesText(bytes)));
}

QTEST_GUILESS_MAIN(TestWaylandExit)
#include "tst_waylandexit.moc"
