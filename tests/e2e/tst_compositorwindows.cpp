#include "CompositorSession.h"
#include "DesktopSession.h"
#include "PortTraceReader.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QLibraryInfo>
#include <QTest>

// The real executable, started with --monitor as a desktop's launcher
// starts it, under the headless Wayland compositors Debian ships (weston;
// labwc and mutter where the release has them), each with its Xwayland.
// What each compositor did with the three windows is read from its X
// window manager's own work (xwininfo, xprop) and from its screenshots.
// QUARNET_WAYLAND_SHOTS=<folder> keeps those screenshots.

using Kind = CompositorSession::Kind;
using XWindow = CompositorSession::XWindow;

Q_DECLARE_METATYPE(CompositorSession::Kind)

namespace {

constexpr int HandOverTimeoutMs = 90000;
const QString MainTitle = QStringLiteral("Quarnet V1.3");
const QString LiveTitle = QStringLiteral("Monitor uscite");
// The live view's frame starts a few pixels right of the main window's;
// weston counts its 32-pixel shadow into the frame it reports, and puts
// the frame's visible edge where the shadow's was asked for.
constexpr int BesideWithin = 64;
constexpr int AlignedWithin = 40;

int westonMajor()
{
    QProcess weston;
    weston.start(QStringLiteral("weston"), {QStringLiteral("--version")});
    if (!weston.waitForFinished(10000))
        return 0;
    const QByteArray version = weston.readAll().trimmed(); // "weston 10.0.1"
    return version.mid(version.indexOf(' ') + 1).split('.').value(0).toInt();
}

QString skipReason(Kind kind)
{
    const QString missing = CompositorSession::missingTools(kind);
    if (missing.isEmpty())
        return {};
    // labwc came with Debian 13: on 12 there is none to install.
    if (kind == Kind::Labwc && missing.split(QLatin1Char(' ')).contains(QLatin1String("labwc"))
        && QFile::exists(QStringLiteral("/etc/debian_version"))) {
        QFile version(QStringLiteral("/etc/debian_version"));
        if (version.open(QIODevice::ReadOnly) && version.readAll().startsWith("12"))
            return QStringLiteral("labwc is not in Debian 12");
    }
    return {};
}

std::optional<XWindow> titled(const QList<XWindow> &windows, const std::function<bool(const XWindow &)> &wanted)
{
    for (const XWindow &window : windows) {
        if (wanted(window))
            return window;
    }
    return std::nullopt;
}

bool isSplash(const XWindow &window)
{
    return window.name != MainTitle && window.name != LiveTitle;
}

// A window manager that reparents (weston, mutter) puts a title bar above
// the client and only borders or a shadow beside it.
bool titleBarAbove(const XWindow &window)
{
    return window.client.top() - window.frame.top() > window.client.left() - window.frame.left();
}

QString describe(const XWindow &window)
{
    return QStringLiteral("%1 at %2,%3 %4x%5 in a frame at %6,%7")
        .arg(window.name)
        .arg(window.client.x())
        .arg(window.client.y())
        .arg(window.client.width())
        .arg(window.client.height())
        .arg(window.frame.x())
        .arg(window.frame.y());
}

QString besideFault(const XWindow &main, const XWindow &live)
{
    const int gap = live.client.left() - main.client.right();
    const int offset = live.client.top() - main.client.top();
    if (gap > 0 && gap <= BesideWithin && std::abs(offset) <= AlignedWithin)
        return {};
    return QStringLiteral("the live view is not beside the main window: %1; %2").arg(describe(main), describe(live));
}

// What xprop prints for _MOTIF_WM_HINTS: "0x2, 0x1, 0x0, 0x0, 0x0" is
// flags (2: decorations given), functions, decorations (none).
bool asksForNoDecoration(const QString &hints)
{
    const QStringList values = hints.split(QStringLiteral(", "));
    bool ok = false;
    return values.size() >= 3 && (values[0].toUInt(&ok, 16) & 2) && ok && values[2].toUInt(nullptr, 16) == 0;
}

// Without Debian's qt6-wayland: the executable copied beside a qt.conf
// whose plugin folder holds everything of Qt's but the Wayland plugins, as
// on a machine where the package is not installed.
QString withoutWaylandPlugins(const QString &folder, const QString &executable)
{
    const QDir installed(QLibraryInfo::path(QLibraryInfo::PluginsPath));
    QDir plugins(folder + QStringLiteral("/plugins"));
    if (!plugins.mkpath(QStringLiteral("platforms")))
        return {};
    for (const QString &kind : installed.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (kind.startsWith(QLatin1String("wayland")))
            continue;
        if (kind != QLatin1String("platforms")) {
            QFile::link(installed.filePath(kind), plugins.filePath(kind));
            continue;
        }
        const QDir platforms(installed.filePath(kind));
        for (const QString &plugin : platforms.entryList(QDir::Files)) {
            if (!plugin.contains(QLatin1String("wayland")))
                QFile::link(platforms.filePath(plugin), plugins.filePath(QStringLiteral("platforms/") + plugin));
        }
    }
    QFile conf(folder + QStringLiteral("/qt.conf"));
    if (!conf.open(QIODevice::WriteOnly))
        return {};
    conf.write("[Paths]\nPlugins=" + QFile::encodeName(plugins.path()) + '\n');
    conf.close();
    const QString copy = folder + QStringLiteral("/quarnet");
    if (!QFile::copy(executable, copy))
        return {};
    QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther
                                    | QFile::ExeOther);
    return copy;
}

QList<int> bytesOf(const QString &path)
{
    QList<int> bytes;
    for (const PortTraceLine &line : PortTraceReader::readFile(path).lines)
        bytes << line.value;
    return bytes;
}

QString text(const QList<int> &bytes)
{
    QStringList parts;
    for (int b : bytes)
        parts << QString::number(b);
    return parts.join(QLatin1Char(' '));
}

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

void keepScreenshot(CompositorSession &session, const QString &name)
{
    const QString folder = qEnvironmentVariable("QUARNET_WAYLAND_SHOTS");
    if (folder.isEmpty() || !CompositorSession::canScreenshot(session.kind()))
        return;
    const QString fault = session.screenshot(QDir(folder).filePath(name + QStringLiteral(".png")));
    if (!fault.isEmpty())
        qWarning("%s", qPrintable(fault));
}

} // namespace

class tst_CompositorWindows : public QObject
{
    Q_OBJECT

private slots:
    void throughXwayland_data();
    void throughXwayland();
    void platformTheUserChoseIsKept_data();
    void platformTheUserChoseIsKept();
    void traceAsUnderX11();

private:
    static void compositors();
};

void tst_CompositorWindows::compositors()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<bool>("waylandPlugin");
    for (Kind kind : {Kind::Weston, Kind::Labwc, Kind::Mutter}) {
        const QByteArray name = CompositorSession::name(kind).toLatin1();
        QTest::newRow(name + " with qt6-wayland") << kind << true;
        QTest::newRow(name + " without qt6-wayland") << kind << false;
    }
}

void tst_CompositorWindows::throughXwayland_data()
{
    compositors();
}

// Started with both sockets set and no platform chosen, with or without
// Qt's Wayland plugin installed, the tool comes through Xwayland: the
// start-up window centred with no title bar, then the main window, and the
// live view beside it, which stays beside it when the main window moves
// where the compositor lets a window be moved.
void tst_CompositorWindows::throughXwayland()
{
    QFETCH(Kind, kind);
    QFETCH(bool, waylandPlugin);
    if (const QString why = skipReason(kind); !why.isEmpty())
        QSKIP(qPrintable(why));
    const QString missing = CompositorSession::missingTools(kind);
    QVERIFY2(missing.isEmpty(), qPrintable(QStringLiteral("install ") + missing + QStringLiteral(" (./test installs them)")));

    CompositorSession session;
    QString fault = session.start(kind);
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
    QString executable = QStringLiteral(QUARNET_EXECUTABLE);
    if (!waylandPlugin) {
        executable = withoutWaylandPlugins(session.runtimePath() + QStringLiteral("/bare"), executable);
        QVERIFY2(!executable.isEmpty(), "cannot make a Qt without its Wayland plugins");
    }
    fault = session.startTool(executable, {QStringLiteral("--monitor")});
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
    const QSize screen = session.screenSize();
    QVERIFY(!screen.isEmpty());

    std::optional<XWindow> splash;
    QVERIFY2(DesktopSession::waitFor([&] { return (splash = titled(session.toolWindows(), isSplash)).has_value(); },
                                     HandOverTimeoutMs),
             qPrintable(QStringLiteral("no start-up window on Xwayland: ")
                        + QString::fromLocal8Bit(session.tool().readAll())));
    const QString type = session.property(splash->id, QStringLiteral("_NET_WM_WINDOW_TYPE"));
    QVERIFY2(type.contains(QLatin1String("_NET_WM_WINDOW_TYPE_SPLASH")), qPrintable(type));
    const QString hints = session.property(splash->id, QStringLiteral("_MOTIF_WM_HINTS"));
    QVERIFY2(asksForNoDecoration(hints), qPrintable(hints));
    // weston's X window manager first reparents at its frame's origin and
    // tells the client where the window went only once it is on screen.
    const auto centred = [&] {
        return std::abs(splash->client.center().x() - screen.width() / 2) <= 1
            && std::abs(splash->client.center().y() - screen.height() / 2) <= 1;
    };
    DesktopSession::waitFor(
        [&] {
            if (std::optional<XWindow> now = titled(session.toolWindows(), isSplash))
                splash = now;
            return centred();
        },
        10000);
    QVERIFY2(centred(), qPrintable(QStringLiteral("not centred on %1x%2: ").arg(screen.width()).arg(screen.height())
                                   + describe(*splash)));
    if (kind == Kind::Labwc) {
        // labwc draws its title bars itself: the screen must show the empty
        // desktop right above the window.
        const QString path = session.runtimePath() + QStringLiteral("/splash.png");
        fault = session.screenshot(path);
        QVERIFY2(fault.isEmpty(), qPrintable(fault));
        const QImage shot(path);
        QVERIFY(!shot.isNull());
        const QRgb desktop = shot.pixel(shot.width() - 2, shot.height() - 2);
        QVERIFY2(shot.pixel(splash->client.center()) != desktop, "the start-up window had gone by the screenshot");
        for (int dy : {2, 10, 20}) {
            const QPoint above(splash->client.center().x(), splash->client.top() - dy);
            QVERIFY2(shot.pixel(above) == desktop, qPrintable(QStringLiteral("something drawn %1 px above").arg(dy)));
        }
    } else {
        QVERIFY2(!titleBarAbove(*splash), qPrintable(describe(*splash)));
    }
    keepScreenshot(session, CompositorSession::name(kind) + QStringLiteral("-splash"));

    std::optional<XWindow> main;
    std::optional<XWindow> live;
    const auto both = [&] {
        const QList<XWindow> windows = session.toolWindows();
        main = titled(windows, [](const XWindow &w) { return w.name == MainTitle; });
        live = titled(windows, [](const XWindow &w) { return w.name == LiveTitle; });
        return main && live;
    };
    QVERIFY2(DesktopSession::waitFor(both, HandOverTimeoutMs), "no main window and live view on Xwayland");
    // The live view is placed once the main window is: the frame's first
    // position may come a moment later.
    DesktopSession::waitFor([&] { return both() && besideFault(*main, *live).isEmpty(); }, 10000);
    QCOMPARE(main->windowClass, QStringLiteral("quarnet"));
    QCOMPARE(live->windowClass, QStringLiteral("quarnet"));
    QCOMPARE(splash->windowClass, QStringLiteral("quarnet"));
    if (kind != Kind::Labwc)
        QVERIFY2(titleBarAbove(*main), qPrintable(describe(*main)));
    fault = besideFault(*main, *live);
    if (kind == Kind::Weston && westonMajor() < 11) {
        QEXPECT_FAIL("", "weston 10's X window manager never tells a client where it put a window (X sees every "
                         "frame at 0,0) and places every window itself: nothing can go beside the main window",
                     Continue);
    }
    QVERIFY2(fault.isEmpty(), qPrintable(fault));

    // weston's X window manager ignores a client's moves of a window it has
    // mapped, and its headless screen has no pointer to drag one with.
    if (kind != Kind::Weston) {
        const QPoint target(main->client.left() > 200 ? 60 : 400, 120);
        session.xdotool({QStringLiteral("windowmove"), main->id, QString::number(target.x()),
                         QString::number(target.y())},
                        &fault);
        QVERIFY2(fault.isEmpty(), qPrintable(fault));
        const QPoint from = main->client.topLeft();
        QVERIFY2(DesktopSession::waitFor([&] { return both() && main->client.topLeft() != from; }, 20000),
                 qPrintable(QStringLiteral("the main window did not move: ") + describe(*main)));
        QVERIFY2(DesktopSession::waitFor([&] { return both() && besideFault(*main, *live).isEmpty(); }, 20000),
                 qPrintable(besideFault(*main, *live)));
    }
    keepScreenshot(session, CompositorSession::name(kind) + QStringLiteral("-xwayland"));
}

void tst_CompositorWindows::platformTheUserChoseIsKept_data()
{
    compositors();
}

// QT_QPA_PLATFORM=wayland set by the user: native Wayland, never Xwayland,
// with the desktop entry's app id; the compositor places the windows. A
// user without qt6-wayland is told by Qt that the plugin is missing.
void tst_CompositorWindows::platformTheUserChoseIsKept()
{
    QFETCH(Kind, kind);
    QFETCH(bool, waylandPlugin);
    if (const QString why = skipReason(kind); !why.isEmpty())
        QSKIP(qPrintable(why));
    const QString missing = CompositorSession::missingTools(kind);
    QVERIFY2(missing.isEmpty(), qPrintable(QStringLiteral("install ") + missing + QStringLiteral(" (./test installs them)")));

    CompositorSession session;
    QString fault = session.start(kind);
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
    QString executable = QStringLiteral(QUARNET_EXECUTABLE);
    if (!waylandPlugin) {
        executable = withoutWaylandPlugins(session.runtimePath() + QStringLiteral("/bare"), executable);
        QVERIFY2(!executable.isEmpty(), "cannot make a Qt without its Wayland plugins");
    }
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
    keepScreenshot(session, CompositorSession::name(kind) + QStringLiteral("-native"));
}

// The same clicks ("Start", then "Chiudi" after a full cycle) through
// mutter's Xwayland and on a plain X server write the same bytes in the
// same order.
void tst_CompositorWindows::traceAsUnderX11()
{
    const QString missing = CompositorSession::missingTools(Kind::Mutter) + DesktopSession::missingTools();
    QVERIFY2(missing.isEmpty(), qPrintable(QStringLiteral("install ") + missing + QStringLiteral(" (./test installs them)")));
    const QPoint start = DesktopSession::centreOf("Command1");
    const QPoint chiudi = DesktopSession::centreOf("Command2");
    const auto clickAt = [](QPoint point) {
        return QStringList{QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--onlyvisible"),
                           QStringLiteral("--name"), QStringLiteral("^Quarnet V1\\.3$"), QStringLiteral("mousemove"),
                           QStringLiteral("--window"), QStringLiteral("%1"), QString::number(point.x()),
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
    QVERIFY2(DesktopSession::waitFor([&] { return !bytesOf(viaXwayland).isEmpty(); }, HandOverTimeoutMs),
             "no hand-over to the main window");
    wayland.xdotool(clickAt(start), &fault);
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
    QVERIFY2(DesktopSession::waitFor([&] { return bytesOf(viaXwayland).size() >= 5; }, 30000),
             qPrintable(QStringLiteral("the motor did not step: ") + text(bytesOf(viaXwayland))));
    wayland.xdotool(clickAt(chiudi), &fault);
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
    QVERIFY2(DesktopSession::waitFor([&] { return !bytesOf(underX11).isEmpty(); }, HandOverTimeoutMs),
             "no hand-over to the main window under X11");
    fault = x11.waitForMainWindow(30000);
    if (fault.isEmpty())
        fault = x11.click(start);
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
    QVERIFY2(DesktopSession::waitFor([&] { return bytesOf(underX11).size() >= 5; }, 30000),
             qPrintable(QStringLiteral("the motor did not step under X11: ") + text(bytesOf(underX11))));
    fault = x11.click(chiudi);
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
    QVERIFY2(DesktopSession::waitFor([&] { return x11.tool().state() == QProcess::NotRunning; }, 30000),
             "still running after Chiudi under X11");

    const QList<int> xwaylandBytes = bytesOf(viaXwayland);
    const QList<int> x11Bytes = bytesOf(underX11);
    QVERIFY2(shape(xwaylandBytes) == shape(x11Bytes),
             qPrintable(QStringLiteral("Xwayland: %1\nX11: %2").arg(text(xwaylandBytes), text(x11Bytes))));
    QCOMPARE(xwaylandBytes.last(), 64);
}

QTEST_GUILESS_MAIN(tst_CompositorWindows)
#include "tst_compositorwindows.moc"
