#include "CompositorSession.h"
#include "DesktopSession.h"
#include "PortTraceReader.h"
#include "TraceBytes.h"

#include <QTemporaryDir>
#include <QTest>

// The real executable under the headless compositors Debian ships, where
// the user chose the platform, and the port writes it makes through
// Xwayland against those on a plain X server.

using Kind = CompositorSession::Kind;

namespace {

constexpr int HandOverTimeoutMs = 90000;


// A run's trace with its steps cut to the first cycle: how many steps fit
// between two clicks is the machine's business, their order is the tool's.
QList<int> shape(const QList<int> &bytes)
{
    static constexpr int Cycle[] = {68, 66, 72, 65};
    QList<int> shaped;
    qsizetype i = 0;
    while (i < bytes.size() && bytes[i] == 64)
        shaped << bytes[i++];
    qsizetype steps = 0;
    while (i < bytes.size() && bytes[i] == Cycle[steps % 4]) {
        if (steps < 4)
            shaped << bytes[i];
        ++steps;
        ++i;
    }
    while (i < bytes.size())
        shaped << bytes[i++];
    return shaped;
}

} // namespace

class TestCompositorPlatform : public QObject
{
    Q_OBJECT

private slots:
    void platformTheUserChoseIsKept_data();
    void platformTheUserChoseIsKept();
    void traceAsUnderX11();
};

void TestCompositorPlatform::platformTheUserChoseIsKept_data()
{
    CompositorSession::addRows();
}

// QT_QPA_PLATFORM=wayland set by the user: native Wayland, never Xwayland,
// with the desktop entry's app id; the compositor places the windows. A
// user without qt6-wayland is told by Qt that the plugin is missing.
void TestCompositorPlatform::platformTheUserChoseIsKept()
{
    QFETCH(Kind, kind);
    QFETCH(bool, waylandPlugin);
    if (const QString why = CompositorSession::notInThisRelease(kind); !why.isEmpty())
        QSKIP(qPrintable(why));

    CompositorSession session;
    QString executable = QStringLiteral(QUARNET_EXECUTABLE);
    QString fault = session.startRow(kind, waylandPlugin, executable);
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
    QProcessEnvironment chosen;
    chosen.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
    // The client's own account of its requests to the compositor.
    chosen.insert(QStringLiteral("WAYLAND_DEBUG"), QStringLiteral("client"));
    fault = session.startTool(executable, {QStringLiteral("--monitor")}, chosen);
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
    QProcess &tool = session.tool();
    QByteArray output;
    if (!waylandPlugin) {
        QVERIFY(DesktopSession::waitFor([&] { return tool.state() == QProcess::NotRunning; }, HandOverTimeoutMs));
        output = tool.readAll();
        QVERIFY2(output.contains("Could not find the Qt platform plugin \"wayland\""), output.constData());
        QVERIFY(tool.exitStatus() == QProcess::CrashExit || tool.exitCode() != 0);
        return;
    }
    const auto requested = [&](const QByteArray &request) {
        return DesktopSession::waitFor(
            [&] {
                output += tool.readAll();
                return output.contains(request) || tool.state() == QProcess::NotRunning;
            },
            HandOverTimeoutMs)
            && output.contains(request);
    };
    QVERIFY2(requested("set_title(\"Quarnet V1.3\")"), "no main window as a Wayland client");
    QVERIFY2(requested("set_title(\"Monitor uscite\")"), "no live view as a Wayland client");
    QVERIFY2(output.contains("set_app_id(\"quarnet\")"), "no app id");
    QVERIFY2(!output.contains("set_app_id(\"") || output.count("set_app_id(\"quarnet\")") == output.count("set_app_id(\""),
             "another app id");
    QVERIFY2(session.toolWindows().isEmpty(), "a window on Xwayland all the same");
    // Placed by the compositor as it likes: kept for the record, not judged.
    DesktopSession::waitFor([&] { tool.readAll(); return false; }, 1500);
    session.keepScreenshot(CompositorSession::name(kind) + QStringLiteral("-native"));
}

// The same clicks ("Start", then "Chiudi" after a full cycle) through
// mutter's Xwayland and on a plain X server write the same bytes in the
// same order.
void TestCompositorPlatform::traceAsUnderX11()
{
    const QString missing = CompositorSession::missingTools(Kind::Mutter) + DesktopSession::missingTools();
    QVERIFY2(missing.isEmpty(), qPrintable(QStringLiteral("install ") + missing + QStringLiteral(" (./test installs them)")));
    const QPoint start = DesktopSession::centreOf("Command1");
    const QPoint chiudi = DesktopSession::centreOf("Command2");
    // By the client's own window: mutter 48 names its frame after it.
    const auto clickAt = [](const QString &window, QPoint point) {
        return QStringList{QStringLiteral("mousemove"), QStringLiteral("--window"), window, QString::number(point.x()),
                           QString::number(point.y()), QStringLiteral("click"), QStringLiteral("1")};
    };

    CompositorSession wayland;
    QString fault = wayland.start(Kind::Mutter);
    QProcessEnvironment unscaled;
    unscaled.insert(QStringLiteral("QT_ENABLE_HIGHDPI_SCALING"), QStringLiteral("0"));
    if (fault.isEmpty())
        fault = wayland.startTool(QStringLiteral(QUARNET_EXECUTABLE), {}, unscaled);
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
    const QString viaXwayland = wayland.tracePath();
    QVERIFY2(DesktopSession::waitFor([&] { return !traceBytes(viaXwayland).isEmpty(); }, HandOverTimeoutMs),
             "no hand-over to the main window");
    QString mainWindow;
    QVERIFY2(DesktopSession::waitFor(
                 [&] {
                     for (const CompositorSession::XWindow &window : wayland.toolWindows()) {
                         if (window.name == QLatin1String("Quarnet V1.3"))
                             mainWindow = window.id;
                     }
                     return !mainWindow.isEmpty();
                 },
                 30000),
             "no main window on Xwayland");
    wayland.xdotool(clickAt(mainWindow, start), &fault);
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
    QVERIFY2(DesktopSession::waitFor([&] { return traceBytes(viaXwayland).size() >= 5; }, 30000),
             qPrintable(QStringLiteral("the motor did not step: ") + bytesText(traceBytes(viaXwayland))));
    wayland.xdotool(clickAt(mainWindow, chiudi), &fault);
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
    QVERIFY2(DesktopSession::waitFor([&] { return wayland.tool().state() == QProcess::NotRunning; }, 30000),
             "still running after Chiudi");

    QTemporaryDir folder;
    const QString underX11 = folder.filePath(QStringLiteral("trace"));
    DesktopSession x11;
    fault = x11.startDisplay();
    if (fault.isEmpty())
        fault = x11.startTool(QStringLiteral(QUARNET_EXECUTABLE), underX11);
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
    QVERIFY2(DesktopSession::waitFor([&] { return !traceBytes(underX11).isEmpty(); }, HandOverTimeoutMs),
             "no hand-over to the main window under X11");
    fault = x11.waitForMainWindow(30000);
    if (fault.isEmpty())
        fault = x11.click(start);
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
    QVERIFY2(DesktopSession::waitFor([&] { return traceBytes(underX11).size() >= 5; }, 30000),
             qPrintable(QStringLiteral("the motor did not step under X11: ") + bytesText(traceBytes(underX11))));
    fault = x11.click(chiudi);
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
    QVERIFY2(DesktopSession::waitFor([&] { return x11.tool().state() == QProcess::NotRunning; }, 30000),
             "still running after Chiudi under X11");

    const QList<int> xwaylandBytes = traceBytes(viaXwayland);
    const QList<int> x11Bytes = traceBytes(underX11);
    QVERIFY2(shape(xwaylandBytes) == shape(x11Bytes),
             qPrintable(QStringLiteral("Xwayland: %1\nX11: %2").arg(bytesText(xwaylandBytes), bytesText(x11Bytes))));
    QCOMPARE(xwaylandBytes.last(), 64);
}

QTEST_GUILESS_MAIN(TestCompositorPlatform)
#include "tst_compositorplatform.moc"
