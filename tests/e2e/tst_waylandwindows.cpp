#include "DesktopSession.h"
#include "WaylandSession.h"

#include <QFile>
#include <QJsonObject>
#include <QTest>

#include <unistd.h>

// The real executable's main window as a Wayland compositor (sway, headless)
// sees it: which way it came (native Wayland or Xwayland) and the name the
// dock groups it by, the desktop entry's, whatever path started it.

namespace {

constexpr int HandOverTimeoutMs = 90000;
const QString MainWindow = QStringLiteral("Quarnet V1.3");

} // namespace

class TestWaylandWindows : public QObject
{
    Q_OBJECT

private slots:
    void nativeWindowCarriesTheDesktopEntrysName();
    void launchedFromTheDesktopItGoesThroughXwayland();
};

// Started through another name (a link, a loader), the app id stays the
// desktop entry's: the app id otherwise follows the executable's file name.
void TestWaylandWindows::nativeWindowCarriesTheDesktopEntrysName()
{
    const QString missing = WaylandSession::missingTools();
    QVERIFY2(missing.isEmpty(), qPrintable(missing));
    WaylandSession session;
    QString fault = session.startCompositor();
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
    const QString renamed = QFileInfo(session.tracePath()).path() + QStringLiteral("/motor-tool");
    QVERIFY(QFile::link(QStringLiteral(QUARNET_EXECUTABLE), renamed));
    fault = session.startTool(renamed);
    QVERIFY2(fault.isEmpty(), qPrintable(fault));

    QJsonObject window;
    QVERIFY2(DesktopSession::waitFor([&] { return !(window = session.window(MainWindow)).isEmpty(); }, HandOverTimeoutMs),
             "no main window in the compositor's tree");
    QCOMPARE(window.value(QStringLiteral("shell")).toString(), QStringLiteral("xdg_shell"));
    QCOMPARE(window.value(QStringLiteral("app_id")).toString(), QStringLiteral("quarnet"));
}

// A launcher starts it with the session's own environment: Wayland and
// Xwayland both, no platform chosen. It then goes through Xwayland, where
// its windows can be placed, with the desktop entry's window class.
void TestWaylandWindows::launchedFromTheDesktopItGoesThroughXwayland()
{
    const QString missing = WaylandSession::missingTools();
    QVERIFY2(missing.isEmpty(), qPrintable(missing));
    WaylandSession session;
    QString fault = session.startCompositor();
    if (fault.isEmpty())
        fault = session.launch(QStringLiteral("env QUARNET_PORT=virtual %1").arg(QStringLiteral(QUARNET_EXECUTABLE)));
    QVERIFY2(fault.isEmpty(), qPrintable(fault));

    QJsonObject window;
    QVERIFY2(DesktopSession::waitFor([&] { return !(window = session.window(MainWindow)).isEmpty(); }, HandOverTimeoutMs),
             "no main window in the compositor's tree");
    QCOMPARE(window.value(QStringLiteral("shell")).toString(), QStringLiteral("xwayland"));
    const QJsonObject properties = window.value(QStringLiteral("window_properties")).toObject();
    QCOMPARE(properties.value(QStringLiteral("class")).toString(), QStringLiteral("quarnet"));
}

QTEST_GUILESS_MAIN(TestWaylandWindows)
#include "tst_waylandwindows.moc"
