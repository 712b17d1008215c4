#pragma once

#include <QPoint>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <functional>
#include <sys/types.h>

// One private X display (Xvfb, which picks its own free display number) and
// the real executable running on it with a virtual port and a trace file.
// The test drives it as a user and a desktop would: clicks through xdotool,
// the frame's close as a window manager's WM_DELETE_WINDOW, signals, and the
// display itself going away. Whatever is still running at destruction is
// killed, so a failed test leaves nothing behind.
class DesktopSession
{
public:
    DesktopSession() = default;
    DesktopSession(const DesktopSession &) = delete;
    DesktopSession &operator=(const DesktopSession &) = delete;
    ~DesktopSession();

    // Empty when Xvfb and xdotool are installed, otherwise what to do.
    static QString missingTools();

    // The centre of one of the main window's controls ("Command1" is
    // "Start"), in its client area's pixels, from the window's own layout.
    static QPoint centreOf(const char *control);
    // Runs the event loop until `done` holds; false once `timeoutMs` passed.
    static bool waitFor(const std::function<bool()> &done, int timeoutMs);

    // A desktop is a user's, never root's: when the suite runs as root, the
    // compositors and the tool run as nobody, whom this gives back.
    static constexpr uid_t Nobody = 65534;
    static constexpr gid_t NoGroup = 65534;
    static bool runningAsRoot();
    // `program` and its arguments as the desktop's user starts them.
    static QStringList asDesktopUser(const QString &program, const QStringList &arguments);

    // Each returns an empty string on success, otherwise what went wrong.
    QString startDisplay();
    // `extra` is added to the environment the tool starts with.
    QString startTool(const QString &executable, const QString &tracePath,
                      const QProcessEnvironment &extra = {});
    QString waitForMainWindow(int timeoutMs);
    // A left click at a point of the main window's client area, in pixels.
    QString click(QPoint point);
    QString closeFrame(const QString &helper);
    void endDisplay();

    QProcess &tool() { return m_tool; }

private:
    QString runOnDisplay(const QString &program, const QStringList &arguments, int timeoutMs);
    QProcessEnvironment environment() const;

    QProcess m_display;
    QProcess m_tool;
    QString m_name; // ":<n>"
};
