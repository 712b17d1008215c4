#include "DesktopSession.h"

#include <unistd.h>

#include "ChildProcess.h"
#include "Form1Layout.h"
#include "Twips.h"

#include <QDeadlineTimer>
#include <QStandardPaths>
#include <QTest>
#include <cstring>

namespace {

// Anchored: xdotool takes the name as a regular expression.
const QString MainWindowName = QStringLiteral("^Quarnet V1\\.3$");

void stop(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.kill();
    process.waitForFinished(5000);
}

} // namespace

DesktopSession::~DesktopSession()
{
    stop(m_tool);
    stop(m_display);
}

QString DesktopSession::startDisplay()
{
    // -displayfd 1: the server takes the first free display and writes its
    // number on stdout once it accepts connections, so parallel sessions
    // never race for a number and nothing has to poll for readiness.
    m_display.setStandardErrorFile(QProcess::nullDevice());
    m_display.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"),
                                             QStringLiteral("-screen"), QStringLiteral("0"),
                                             QStringLiteral("640x480x24"),
                                             QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    if (!m_display.waitForStarted(10000))
        return QStringLiteral("Xvfb did not start: ") + m_display.errorString();
    QByteArray number;
    while (!number.contains('\n')) {
        if (!m_display.waitForReadyRead(20000))
            return QStringLiteral("Xvfb gave no display number");
        number += m_display.readAllStandardOutput();
    }
    m_name = QLatin1Char(':') + QString::fromLatin1(number.trimmed());
    return {};
}

QProcessEnvironment DesktopSession::environment() const
{
    QProcessEnvironment env = ChildProcess::environment();
    env.insert(QStringLiteral("DISPLAY"), m_name);
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("XAUTHORITY"));
    return env;
}

QString DesktopSession::startTool(const QString &executable, const QString &tracePath,
                                  const QProcessEnvironment &extra)
{
    QProcessEnvironment env = environment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    // The clicks aim at the layout's pixels: no scaling may move them.
    env.insert(QStringLiteral("QT_ENABLE_HIGHDPI_SCALING"), QStringLiteral("0"));
    env.remove(QStringLiteral("QT_SCALE_FACTOR"));
    env.remove(QStringLiteral("QT_SCREEN_SCALE_FACTORS"));
    env.insert(QStringLiteral("QUARNET_PORT"), QStringLiteral("virtual"));
    env.insert(QStringLiteral("QUARNET_PORT_TRACE"), tracePath);
    env.insert(extra);
    m_tool.setProcessEnvironment(env);
    m_tool.setProcessChannelMode(QProcess::ForwardedChannels);
    m_tool.start(executable, {});
    if (!m_tool.waitForStarted(10000))
        return QStringLiteral("quarnet did not start: ") + m_tool.errorString();
    return {};
}

QString DesktopSession::runOnDisplay(const QString &program, const QStringList &arguments,
                                     int timeoutMs)
{
    QProcess process;
    process.setProcessEnvironment(environment());
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(program, arguments);
    if (!process.waitForFinished(timeoutMs)) {
        stop(process);
        return program + QStringLiteral(" did not finish: ") + arguments.join(QLatin1Char(' '));
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return program + QStringLiteral(" failed (%1): ").arg(process.exitCode())
               + arguments.join(QLatin1Char(' '));
    return {};
}

// The first byte is written while the window is built, before it shows:
// clicks and the frame's close need it mapped.
QString DesktopSession::waitForMainWindow(int timeoutMs)
{
    return runOnDisplay(QStringLiteral("xdotool"),
                        {QStringLiteral("search"), QStringLiteral("--sync"),
                         QStringLiteral("--onlyvisible"), QStringLiteral("--name"), MainWindowName},
                        timeoutMs);
}

QString DesktopSession::click(QPoint point)
{
    return runOnDisplay(QStringLiteral("xdotool"),
                        {QStringLiteral("search"), QStringLiteral("--sync"),
                         QStringLiteral("--onlyvisible"), QStringLiteral("--name"), MainWindowName,
                         QStringLiteral("mousemove"), QStringLiteral("--window"),
                         QStringLiteral("%1"), QString::number(point.x()),
                         QString::number(point.y()), QStringLiteral("click"), QStringLiteral("1")},
                        20000);
}

QString DesktopSession::closeFrame(const QString &helper)
{
    return runOnDisplay(helper, {QStringLiteral("Quarnet V1.3")}, 10000);
}

void DesktopSession::endDisplay()
{
    m_display.terminate();
}

QString DesktopSession::missingTools()
{
    for (const char *tool : {"Xvfb", "xdotool"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            return QStringLiteral("%1 is missing: run ./test, which installs it").arg(QString::fromLatin1(tool));
    }
    return {};
}

QPoint DesktopSession::centreOf(const char *control)
{
    const auto row = [](const char *name) -> const ControlRow * {
        for (const ControlRow &r : Form1Layout::Controls)
            if (std::strcmp(r.name, name) == 0)
                return &r;
        return nullptr;
    };
    const ControlRow *found = row(control);
    if (!found)
        qFatal("no control %s in the main window's layout", control);
    double left = found->left + found->width / 2.0;
    double top = found->top + found->height / 2.0;
    if (found->container) {
        const ControlRow *container = row(found->container);
        left += container->left;
        top += container->top;
    }
    return Twips::point(left, top);
}

bool DesktopSession::runningAsRoot()
{
    return ::geteuid() == 0;
}

QStringList DesktopSession::asDesktopUser(const QString &program, const QStringList &arguments)
{
    if (!runningAsRoot())
        return QStringList{program} + arguments;
    return QStringList{QStringLiteral("setpriv"), QStringLiteral("--reuid=%1").arg(Nobody),
                       QStringLiteral("--regid=%1").arg(NoGroup), QStringLiteral("--clear-groups"),
                       program}
        + arguments;
}

bool DesktopSession::waitFor(const std::function<bool()> &done, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(50);
    }
    return true;
}
