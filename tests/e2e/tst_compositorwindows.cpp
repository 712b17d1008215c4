#include "CompositorSession.h"
#include "DesktopSession.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTest>

// The real executable, started with --monitor as a desktop's launcher
// starts it, under the headless Wayland compositors Debian ships (weston;
// labwc and mutter where the release has them), each with its Xwayland.
// What each compositor did with the three windows is read from its X
// window manager's own work (xwininfo, xprop) and from its screenshots.

using Kind = CompositorSession::Kind;
using XWindow = CompositorSession::XWindow;


namespace {

constexpr int HandOverTimeoutMs = 90000;
const QString MainTitle = QStringLiteral("Quarnet V1.3");
const QString LiveTitle = QStringLiteral("Monitor uscite");
// The live view's frame starts a few pixels right of the main window's.
// weston counts its 32-pixel shadow into the frames it reports, so there it
// is the frames that touch, and the clients are that much further apart.
constexpr int BesideWithin = 64;
constexpr int AlignedWithin = 40;

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
    const auto beside = [](const QRect &left, const QRect &right) {
        const int gap = right.left() - left.right();
        return gap > 0 && gap <= BesideWithin && std::abs(right.top() - left.top()) <= AlignedWithin;
    };
    if (beside(main.client, live.client) || beside(main.frame, live.frame))
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

} // namespace

class TestCompositorWindows : public QObject
{
    Q_OBJECT

private slots:
    void throughXwayland_data();
    void throughXwayland();
};

void TestCompositorWindows::throughXwayland_data()
{
    CompositorSession::addRows();
}

// Started with both sockets set and no platform chosen, with or without
// Qt's Wayland plugin installed, the tool comes through Xwayland: the
// start-up window centred with no title bar, then the main window, and the
// live view beside it, which stays beside it when the main window moves
// where the compositor lets a window be moved.
void TestCompositorWindows::throughXwayland()
{
    QFETCH(Kind, kind);
    QFETCH(bool, waylandPlugin);
    if (const QString why = CompositorSession::notInThisRelease(kind); !why.isEmpty())
        QSKIP(qPrintable(why));

    CompositorSession session;
    QString executable = QStringLiteral(QUARNET_EXECUTABLE);
    QString fault = session.startRow(kind, waylandPlugin, executable);
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
    fault = session.startTool(executable, {QStringLiteral("--monitor")});
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
    const QSize screen = session.screenSize();
    QVERIFY(!screen.isEmpty());

    std::optional<XWindow> splash;
    QVERIFY2(DesktopSession::waitFor([&] { return (splash = titled(session.toolWindows(), isSplash)).has_value(); },
                                     HandOverTimeoutMs),
             qPrintable(QStringLiteral("no start-up window on Xwayland: ")
                        + QString::fromLocal8Bit(session.tool().readAll())));
    const QMap<QString, QString> properties = session.properties(
        splash->id, {QStringLiteral("_NET_WM_WINDOW_TYPE"), QStringLiteral("_MOTIF_WM_HINTS")}, &fault);
    QVERIFY2(fault.isEmpty(), qPrintable(QStringLiteral("the start-up window went before it could be read: ") + fault));
    const QString type = properties.value(QStringLiteral("_NET_WM_WINDOW_TYPE"));
    QVERIFY2(type.contains(QLatin1String("_NET_WM_WINDOW_TYPE_SPLASH")), qPrintable(type));
    const QString hints = properties.value(QStringLiteral("_MOTIF_WM_HINTS"));
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
    session.keepScreenshot(CompositorSession::name(kind) + QStringLiteral("-splash"));

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
    const bool positionsUnknown = kind == Kind::Weston && CompositorSession::westonMajor() < 11;
    if (!positionsUnknown)
        DesktopSession::waitFor([&] { return both() && besideFault(*main, *live).isEmpty(); }, 10000);
    QCOMPARE(main->windowClass, QStringLiteral("quarnet"));
    QCOMPARE(live->windowClass, QStringLiteral("quarnet"));
    QCOMPARE(splash->windowClass, QStringLiteral("quarnet"));
    // weston 10's frames all stand at 0,0 as X sees them, and once, on a
    // loaded machine, it put the client inside its frame at the window's
    // place on the screen: there the geometry says nothing of a title bar.
    if (kind != Kind::Labwc && !positionsUnknown)
        QVERIFY2(titleBarAbove(*main), qPrintable(describe(*main)));
    fault = besideFault(*main, *live);
    // weston 11 and later tell it only once the main window is on screen,
    // after the live view was mapped beside where the main window was first
    // put, and ignore the move asked for then: the live view must have been
    // mapped again beside it.
    if (positionsUnknown) {
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
    session.keepScreenshot(CompositorSession::name(kind) + QStringLiteral("-xwayland"));
}

QTEST_GUILESS_MAIN(TestCompositorWindows)
#include "tst_compositorwindows.moc"
