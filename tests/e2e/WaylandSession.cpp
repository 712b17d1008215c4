#include "WaylandSession.h"

#include "ChildProcess.h"
#include "DesktopSession.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLibraryInfo>
#include <QStandardPaths>

#include <csignal>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace {


} // namespace

WaylandSession::~WaylandSession()
{
    for (QProcess *process : {&m_tool, &m_compositor}) {
        if (process->state() != QProcess::NotRunning) {
            process->kill();
            process->waitForFinished(5000);
        }
    }
}

QString WaylandSession::missingTools()
{
    QStringList missing;
    for (const char *tool : {"sway", "wtype", "Xwayland"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            missing << QString::fromLatin1(tool);
    }
    const QString plugins = QLibraryInfo::path(QLibraryInfo::PluginsPath);
    if (!QFile::exists(plugins + QStringLiteral("/platforms/libqwayland-generic.so")))
        missing << QStringLiteral("qt6-wayland");
    if (DesktopSession::runningAsRoot() && QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
        missing << QStringLiteral("util-linux (setpriv)");
    if (missing.isEmpty())
        return {};
    return QStringLiteral("install %1 (./test installs them)").arg(missing.join(QLatin1Char(' ')));
}

QString WaylandSession::tracePath() const
{
    return m_runtime->filePath(QStringLiteral("trace"));
}

QProcessEnvironment WaylandSession::environment() const
{
    QProcessEnvironment env = ChildProcess::environment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_SESSION_TYPE"})
        env.remove(QString::fromLatin1(name));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime->path());
    env.insert(QStringLiteral("HOME"), m_runtime->path());
    if (!m_display.isEmpty())
        env.insert(QStringLiteral("WAYLAND_DISPLAY"), m_display);
    return env;
}

QString WaylandSession::startCompositor()
{
    m_runtime = std::make_unique<QTemporaryDir>();
    if (!m_runtime->isValid())
        return QStringLiteral("no runtime folder");
    if (DesktopSession::runningAsRoot() && ::chown(QFile::encodeName(m_runtime->path()).constData(), DesktopSession::Nobody, DesktopSession::NoGroup) != 0)
        return QStringLiteral("cannot hand the runtime folder to nobody");
    QFile config(m_runtime->filePath(QStringLiteral("sway.config")));
    if (!config.open(QIODevice::WriteOnly))
        return QStringLiteral("cannot write sway's configuration");
    config.write("output HEADLESS-1 resolution 1280x1024\n");
    config.close();

    QProcessEnvironment env = environment();
    env.insert(QStringLiteral("WLR_BACKENDS"), QStringLiteral("headless"));
    env.insert(QStringLiteral("WLR_RENDERER"), QStringLiteral("pixman"));
    env.insert(QStringLiteral("WLR_LIBINPUT_NO_DEVICES"), QStringLiteral("1"));
    m_compositor.setProcessEnvironment(env);
    m_compositor.setProcessChannelMode(QProcess::MergedChannels);
    const QStringList command = DesktopSession::asDesktopUser(QStringLiteral("sway"), {QStringLiteral("-c"), config.fileName()});
    m_compositor.start(command.first(), command.mid(1));
    if (!m_compositor.waitForStarted())
        return QStringLiteral("sway did not start: ") + m_compositor.errorString();
    const QDir runtime(m_runtime->path());
    const bool up = DesktopSession::waitFor(
        [&] {
            const QStringList sockets = runtime.entryList({QStringLiteral("wayland-*")}, QDir::System);
            for (const QString &socket : sockets) {
                if (!socket.endsWith(QLatin1String(".lock")))
                    m_display = socket;
            }
            return !m_display.isEmpty() || m_compositor.state() == QProcess::NotRunning;
        },
        30000);
    if (!up || m_display.isEmpty())
        return QStringLiteral("sway never opened its socket: ") + QString::fromLocal8Bit(m_compositor.readAll());
    return {};
}

QString WaylandSession::startTool(const QString &executable, const QString &platform)
{
    QProcessEnvironment env = environment();
    if (!platform.isEmpty())
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
    env.insert(QStringLiteral("QUARNET_PORT"), QStringLiteral("virtual"));
    env.insert(QStringLiteral("QUARNET_PORT_TRACE"), tracePath());
    m_tool.setProcessEnvironment(env);
    m_tool.setProcessChannelMode(QProcess::SeparateChannels);
    const QStringList command = DesktopSession::asDesktopUser(executable, {});
    m_tool.start(command.first(), command.mid(1));
    if (!m_tool.waitForStarted())
        return QStringLiteral("quarnet did not start: ") + ChildProcess::failure(m_tool);
    return {};
}

QJsonObject WaylandSession::tree()
{
    QProcess swaymsg;
    if (!swaymsgDone(swaymsg, {QStringLiteral("-t"), QStringLiteral("get_tree")}))
        return {};
    return QJsonDocument::fromJson(swaymsg.readAllStandardOutput()).object();
}

QString WaylandSession::launch(const QString &command)
{
    QProcess swaymsg;
    if (!swaymsgDone(swaymsg, {QStringLiteral("exec"), command}) || swaymsg.exitCode() != 0)
        return QStringLiteral("sway did not start it: ") + QString::fromLocal8Bit(swaymsg.readAll());
    return {};
}

bool WaylandSession::swaymsgDone(QProcess &swaymsg, const QStringList &arguments)
{
    const QStringList command = DesktopSession::asDesktopUser(QStringLiteral("swaymsg"), arguments);
    QProcessEnvironment env = environment();
    const QStringList sockets = QDir(m_runtime->path()).entryList({QStringLiteral("sway-ipc.*.sock")}, QDir::System);
    if (!sockets.isEmpty())
        env.insert(QStringLiteral("SWAYSOCK"), m_runtime->filePath(sockets.first()));
    swaymsg.setProcessEnvironment(env);
    swaymsg.start(command.first(), command.mid(1));
    return swaymsg.waitForFinished(20000) && swaymsg.exitStatus() == QProcess::NormalExit;
}

namespace {

QJsonObject findIn(const QJsonObject &node, const std::function<bool(const QJsonObject &)> &wanted)
{
    if (wanted(node))
        return node;
    for (const char *children : {"nodes", "floating_nodes"}) {
        for (const QJsonValue &child : node.value(QLatin1String(children)).toArray()) {
            const QJsonObject found = findIn(child.toObject(), wanted);
            if (!found.isEmpty())
                return found;
        }
    }
    return {};
}

} // namespace

QString WaylandSession::focusedTitle()
{
    return findIn(tree(), [](const QJsonObject &node) { return node.value(QStringLiteral("focused")).toBool(); })
        .value(QStringLiteral("name"))
        .toString();
}

QJsonObject WaylandSession::window(const QString &title)
{
    return findIn(tree(), [&](const QJsonObject &node) { return node.value(QStringLiteral("name")).toString() == title; });
}

QString WaylandSession::press(const QStringList &keys)
{
    // A new virtual keyboard's first key reaches the client before the
    // keymap that goes with it and is lost: a Shift that means nothing
    // goes first, and the keys wait until a busy client has taken it.
    QStringList arguments{QStringLiteral("-k"), QStringLiteral("Shift_L"), QStringLiteral("-s"), QStringLiteral("300")};
    for (const QString &key : keys)
        arguments << QStringLiteral("-k") << key;
    const QStringList command = DesktopSession::asDesktopUser(QStringLiteral("wtype"), arguments);
    QProcess wtype;
    wtype.setProcessEnvironment(environment());
    wtype.setProcessChannelMode(QProcess::MergedChannels);
    wtype.start(command.first(), command.mid(1));
    if (!wtype.waitForFinished(20000) || wtype.exitStatus() != QProcess::NormalExit || wtype.exitCode() != 0)
        return QStringLiteral("wtype failed: ") + QString::fromLocal8Bit(wtype.readAll());
    return {};
}

void WaylandSession::killCompositor()
{
    ChildProcess::signal(m_compositor, SIGKILL);
}
