#pragma once

#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

// One private headless Wayland compositor (sway, a wlroots compositor as
// Raspberry Pi OS's labwc is) and the real executable on it as a native
// Wayland client, with a virtual port and a trace file. sway refuses to run
// as root, so when the test is root both run as the user "nobody". Keys
// reach the focused window through wtype, as an input method's would.
// Whatever is still running at destruction is killed.
class WaylandSession
{
public:
    WaylandSession() = default;
    WaylandSession(const WaylandSession &) = delete;
    WaylandSession &operator=(const WaylandSession &) = delete;
    ~WaylandSession();

    // Empty when sway, wtype and Qt's Wayland plugin are there, else what to do.
    static QString missingTools();

    // Each returns an empty string on success, otherwise what went wrong.
    QString startCompositor();
    // `platform` empty: QT_QPA_PLATFORM is not set at all.
    QString startTool(const QString &executable, const QString &platform = QStringLiteral("wayland"));
    // The compositor's own view of its windows: sway's tree, as JSON.
    QJsonObject tree();
    // The title of the window that has the keyboard focus; empty when none.
    QString focusedTitle();
    // The window of that title in the compositor's tree; empty when none.
    QJsonObject window(const QString &title);
    // A command the compositor starts with its own environment, as a
    // launcher of the desktop would (Xwayland's DISPLAY included).
    QString launch(const QString &command);
    // Key names as wtype takes them ("Tab", "space"), pressed in turn.
    QString press(const QStringList &keys);
    // The compositor killed, as when it crashes or the session is torn down.
    void killCompositor();

    QProcess &tool() { return m_tool; }
    // A file the tool's user may create: where its trace goes.
    QString tracePath() const;

private:
    QProcessEnvironment environment() const;
    bool swaymsgDone(QProcess &swaymsg, const QStringList &arguments);

    std::unique_ptr<QTemporaryDir> m_runtime; // XDG_RUNTIME_DIR, sway's config, the trace
    QProcess m_compositor;
    QProcess m_tool;
    QString m_display; // the Wayland socket's name
};
