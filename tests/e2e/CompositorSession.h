#pragma once

#include <QList>
#include <QMap>
#include <QMetaType>
#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>

// One private headless Wayland compositor as Debian ships it (weston, labwc
// or mutter) with its own Xwayland, and the real executable on it with a
// virtual port and a trace file. What the compositor did with the tool's
// windows is read as a user's tools would read it: its X window manager's
// work through xwininfo and xprop on its Xwayland display, and its screen
// through its own screenshot tool. Xwayland admits the clients of its own
// user alone: as root, the compositor, the tool and the X tools all run as
// the user "nobody". Whatever is still running at destruction is killed.
class CompositorSession
{
public:
    enum class Kind { Weston, Labwc, Mutter };

    // One X window of the tool, with the window manager's frame around it
    // when it made one (weston and mutter do; labwc draws its own).
    struct XWindow
    {
        QString id;
        QString name;
        QString windowClass;
        QRect client; // on the screen
        QRect frame;  // the top-level window holding it: the client itself when not reparented
    };

    CompositorSession() = default;
    CompositorSession(const CompositorSession &) = delete;
    CompositorSession &operator=(const CompositorSession &) = delete;
    ~CompositorSession();

    static QString name(Kind kind);
    // Empty when the compositor and the X tools are there, else what is missing.
    static QString missingTools(Kind kind);
    // Why the compositor cannot run here at all ("labwc is not in Debian
    // 12"); empty when it can, installed or not.
    static QString notInThisRelease(Kind kind);
    // 10 for "weston 10.0.1"; 0 when there is no weston.
    static int westonMajor();
    // Each compositor's table of rows: kind, and whether Qt's Wayland
    // plugin is installed.
    static void addRows();

    // Each returns an empty string on success, otherwise what went wrong.
    QString start(Kind kind);
    // One row's set-up: the tools there, the compositor up, and in
    // `executable` the one to start (a copy without Qt's Wayland plugins
    // when the row has none).
    QString startRow(Kind kind, bool waylandPlugin, QString &executable);
    // The tool as a launcher of the session starts it (WAYLAND_DISPLAY and
    // DISPLAY both set); `extra` is added to that environment.
    QString startTool(const QString &executable, const QStringList &arguments,
                      const QProcessEnvironment &extra = {});

    // The tool's windows (class "quarnet") on the Xwayland display, top-level
    // clients only, as the X server has them now.
    QList<XWindow> toolWindows();
    QSize screenSize();
    // Properties as xprop prints them, by name ("" for one the window
    // lacks), read at once; empty with `fault` set when the window is gone.
    QMap<QString, QString> properties(const QString &windowId, const QStringList &names, QString *fault);
    // xdotool on the Xwayland display; returns its output or a fault.
    QString xdotool(const QStringList &arguments, QString *fault = nullptr);
    // The compositor's own screenshot (weston-screenshooter, grim); empty
    // on success. mutter has no tool that works headless.
    QString screenshot(const QString &path);
    static bool canScreenshot(Kind kind) { return kind != Kind::Mutter; }
    // Into QUARNET_WAYLAND_SHOTS as <name>.png, when that is set.
    void keepScreenshot(const QString &name);
    // The executable copied beside a qt.conf whose plugin folder holds all
    // of Qt's plugins but the Wayland ones, as on a machine without Debian's
    // qt6-wayland; empty when that cannot be made.
    QString withoutWaylandPlugins(const QString &executable);

    QProcess &tool() { return m_tool; }
    QString tracePath() const;
    QString runtimePath() const;
    QString displayName() const { return m_xDisplay; }
    Kind kind() const { return m_kind; }

private:
    QString startOnce(Kind kind);
    QProcessEnvironment environment() const;
    QString run(const QString &program, const QStringList &arguments, QString *fault);
    QString startWeston(QProcessEnvironment env);
    QString startLabwc(QProcessEnvironment env);
    QString startMutter(QProcessEnvironment env);
    QString waitForDisplays(const std::function<QString()> &xDisplay);

    Kind m_kind = Kind::Weston;
    std::unique_ptr<QTemporaryDir> m_runtime; // XDG_RUNTIME_DIR and HOME of the session
    QProcess m_compositor;
    QProcess m_tool;
    QByteArray m_log;     // the compositor's output so far
    QString m_wayland;    // the Wayland socket's name
    QString m_xDisplay;   // ":<n>", Xwayland's
    QString m_xAuthority; // mutter's Xwayland wants its cookie
};

Q_DECLARE_METATYPE(CompositorSession::Kind)
