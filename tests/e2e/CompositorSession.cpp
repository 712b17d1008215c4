#include "CompositorSession.h"

#include "ChildProcess.h"
#include "DesktopSession.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QTest>
#include <QRegularExpression>
#include <QStandardPaths>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

constexpr int StartTimeoutMs = 60000;
constexpr int StartAttempts = 3;
const QString WaylandSocket = QStringLiteral("quarnet-wl");

// The compositor and everything it starts (Xwayland, weston's shell
// helpers, mutter under dbus-run-session) in a group of their own, so
// that one signal ends them all.
void ownProcessGroup(QProcess &process)
{
    process.setChildProcessModifier([] { ::setpgid(0, 0); });
}

// Asked first: Xwayland killed outright leaves its lock and socket files
// in /tmp behind.
void endGroup(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    const pid_t group = pid_t(process.processId());
    ::kill(-group, SIGTERM);
    if (!process.waitForFinished(5000)) {
        ::kill(-group, SIGKILL);
        process.waitForFinished(5000);
    }
}

bool abstractSocketTaken(int display)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = "/tmp/.X11-unix/X" + QByteArray::number(display);
    std::memcpy(address.sun_path + 1, name.constData(), size_t(name.size()));
    const socklen_t length = socklen_t(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    const bool taken = ::bind(fd, reinterpret_cast<sockaddr *>(&address), length) != 0 && errno == EADDRINUSE;
    ::close(fd);
    return taken;
}

// weston takes the first display without a lock file in /tmp and crashes
// when it cannot listen there: another X server outside this /tmp already
// does (a chroot shares the abstract sockets of the whole machine), or a
// server of another user left its socket file behind. Lock files naming
// this process keep it off those displays until it has chosen.
class TakenDisplays
{
public:
    TakenDisplays()
    {
        for (int display = 0; display < 64; ++display) {
            const QByteArray lock = "/tmp/.X" + QByteArray::number(display) + "-lock";
            if (QFile::exists(QString::fromLatin1(lock)))
                continue;
            const QString socket = QStringLiteral("/tmp/.X11-unix/X%1").arg(display);
            if (!abstractSocketTaken(display) && !QFileInfo::exists(socket))
                break;
            const int fd = ::open(lock.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0444);
            if (fd < 0)
                continue;
            const QByteArray pid = QByteArray::number(::getpid()).rightJustified(10) + '\n';
            const bool written = ::write(fd, pid.constData(), size_t(pid.size())) == pid.size();
            ::close(fd);
            m_locks << lock;
            if (!written)
                break;
        }
    }
    ~TakenDisplays()
    {
        for (const QByteArray &lock : m_locks)
            ::unlink(lock.constData());
    }

private:
    QList<QByteArray> m_locks;
};

} // namespace

CompositorSession::~CompositorSession()
{
    if (m_tool.state() != QProcess::NotRunning) {
        m_tool.kill();
        m_tool.waitForFinished(5000);
    }
    endGroup(m_compositor);
}

QString CompositorSession::name(Kind kind)
{
    switch (kind) {
    case Kind::Weston:
        return QStringLiteral("weston");
    case Kind::Labwc:
        return QStringLiteral("labwc");
    case Kind::Mutter:
        return QStringLiteral("mutter");
    }
    return {};
}

QString CompositorSession::missingTools(Kind kind)
{
    QStringList tools{name(kind), QStringLiteral("Xwayland"), QStringLiteral("xwininfo"), QStringLiteral("xprop"),
                      QStringLiteral("xdotool")};
    if (kind == Kind::Weston)
        tools << QStringLiteral("weston-screenshooter");
    if (kind == Kind::Labwc)
        tools << QStringLiteral("grim");
    if (kind == Kind::Mutter)
        tools << QStringLiteral("dbus-run-session");
    if (DesktopSession::runningAsRoot())
        tools << QStringLiteral("setpriv");
    QStringList missing;
    for (const QString &tool : tools) {
        if (QStandardPaths::findExecutable(tool).isEmpty())
            missing << tool;
    }
    return missing.join(QLatin1Char(' '));
}

QString CompositorSession::tracePath() const
{
    return m_runtime->filePath(QStringLiteral("trace"));
}

QString CompositorSession::runtimePath() const
{
    return m_runtime->path();
}

QProcessEnvironment CompositorSession::environment() const
{
    QProcessEnvironment env = ChildProcess::environment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "XAUTHORITY", "QT_QPA_PLATFORM", "XDG_SESSION_TYPE",
                             "DBUS_SESSION_BUS_ADDRESS", "QT_PLUGIN_PATH"})
        env.remove(QString::fromLatin1(name));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime->path());
    env.insert(QStringLiteral("HOME"), m_runtime->path());
    if (!m_wayland.isEmpty())
        env.insert(QStringLiteral("WAYLAND_DISPLAY"), m_wayland);
    if (!m_xDisplay.isEmpty())
        env.insert(QStringLiteral("DISPLAY"), m_xDisplay);
    if (!m_xAuthority.isEmpty())
        env.insert(QStringLiteral("XAUTHORITY"), m_xAuthority);
    return env;
}

// weston 10 at times crashes while it starts, before any client of ours
// connects (seen in its desktop-shell.so and in libwayland-server): a crash
// there is weston's, not the tool's, so that start is tried again, and each
// crash is told.
QString CompositorSession::start(Kind kind)
{
    QString fault;
    for (int attempt = 1; attempt <= StartAttempts; ++attempt) {
        fault = startOnce(kind);
        if (fault.isEmpty() || m_compositor.state() != QProcess::NotRunning
            || m_compositor.exitStatus() != QProcess::CrashExit)
            return fault;
        qInfo("%s crashed while starting (attempt %d of %d): %s", qPrintable(name(kind)), attempt, StartAttempts,
              qPrintable(fault.right(400)));
        m_log.clear();
        m_wayland.clear();
        m_xDisplay.clear();
        m_xAuthority.clear();
    }
    return fault;
}

QString CompositorSession::startOnce(Kind kind)
{
    m_kind = kind;
    m_runtime = std::make_unique<QTemporaryDir>();
    if (!m_runtime->isValid())
        return QStringLiteral("no runtime folder");
    if (DesktopSession::runningAsRoot() && ::chown(QFile::encodeName(m_runtime->path()).constData(), DesktopSession::Nobody, DesktopSession::NoGroup) != 0)
        return QStringLiteral("cannot hand the runtime folder to nobody");
    QProcessEnvironment env = environment();
    m_compositor.setProcessChannelMode(QProcess::MergedChannels);
    ownProcessGroup(m_compositor);
    switch (kind) {
    case Kind::Weston:
        return startWeston(env);
    case Kind::Labwc:
        return startLabwc(env);
    case Kind::Mutter:
        return startMutter(env);
    }
    return QStringLiteral("no such compositor");
}

QString CompositorSession::waitForDisplays(const std::function<QString()> &xDisplay)
{
    const bool up = DesktopSession::waitFor(
        [&] {
            m_log += m_compositor.readAll();
            if (m_xDisplay.isEmpty())
                m_xDisplay = xDisplay();
            return (!m_xDisplay.isEmpty() && !m_wayland.isEmpty()
                    && QFile::exists(m_runtime->filePath(m_wayland)))
                || m_compositor.state() == QProcess::NotRunning;
        },
        StartTimeoutMs);
    if (!up || m_xDisplay.isEmpty() || m_compositor.state() == QProcess::NotRunning) {
        m_compositor.waitForFinished(1000);
        m_log += m_compositor.readAll();
        return name(m_kind) + QStringLiteral(" did not come up: ") + QString::fromLocal8Bit(m_log);
    }
    return {};
}

namespace {

QString displayIn(const QByteArray &log, const char *pattern)
{
    const QRegularExpressionMatch match =
        QRegularExpression(QString::fromLatin1(pattern)).match(QString::fromLocal8Bit(log));
    return match.hasMatch() ? QLatin1Char(':') + match.captured(1) : QString();
}

} // namespace

QString CompositorSession::startWeston(QProcessEnvironment env)
{
    const TakenDisplays heldOff;
    m_wayland = WaylandSocket;
    m_compositor.setProcessEnvironment(env);
    // --debug: weston-screenshooter is refused without it.
    const QStringList command = DesktopSession::asDesktopUser(
        QStringLiteral("weston"),
        {QStringLiteral("--backend=headless-backend.so"), QStringLiteral("--use-pixman"),
         QStringLiteral("--width=1280"), QStringLiteral("--height=1024"), QStringLiteral("--idle-time=0"),
         QStringLiteral("--socket=") + m_wayland, QStringLiteral("--xwayland"), QStringLiteral("--debug")});
    m_compositor.start(command.first(), command.mid(1));
    if (!m_compositor.waitForStarted())
        return QStringLiteral("weston did not start: ") + m_compositor.errorString();
    return waitForDisplays([this] { return displayIn(m_log, "xserver listening on display :(\\d+)"); });
}

QString CompositorSession::startLabwc(QProcessEnvironment env)
{
    // labwc tells the sockets it chose to the programs it starts alone.
    const QString told = m_runtime->filePath(QStringLiteral("displays"));
    QFile script(m_runtime->filePath(QStringLiteral("tell-displays")));
    if (!script.open(QIODevice::WriteOnly))
        return QStringLiteral("cannot write labwc's start-up command");
    script.write(QStringLiteral("#!/bin/sh\nprintf '%s %s\\n' \"$WAYLAND_DISPLAY\" \"$DISPLAY\" > %1.new && mv %1.new %1\n")
                     .arg(told)
                     .toLocal8Bit());
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
    env.insert(QStringLiteral("WLR_BACKENDS"), QStringLiteral("headless"));
    env.insert(QStringLiteral("WLR_RENDERER"), QStringLiteral("pixman"));
    env.insert(QStringLiteral("WLR_LIBINPUT_NO_DEVICES"), QStringLiteral("1"));
    m_compositor.setProcessEnvironment(env);
    const QStringList command = DesktopSession::asDesktopUser(QStringLiteral("labwc"), {QStringLiteral("-s"), script.fileName()});
    m_compositor.start(command.first(), command.mid(1));
    if (!m_compositor.waitForStarted())
        return QStringLiteral("labwc did not start: ") + m_compositor.errorString();
    return waitForDisplays([&] {
        QFile file(told);
        if (!file.open(QIODevice::ReadOnly))
            return QString();
        const QStringList names = QString::fromLocal8Bit(file.readAll()).split(QLatin1Char(' '));
        if (names.size() != 2 || names[1].trimmed().isEmpty())
            return QString();
        m_wayland = names[0];
        return names[1].trimmed();
    });
}

QString CompositorSession::startMutter(QProcessEnvironment env)
{
    m_wayland = WaylandSocket;
    m_compositor.setProcessEnvironment(env);
    const QStringList command =
        DesktopSession::asDesktopUser(QStringLiteral("dbus-run-session"),
               {QStringLiteral("--"), QStringLiteral("mutter"), QStringLiteral("--headless"), QStringLiteral("--wayland"),
                QStringLiteral("--virtual-monitor"), QStringLiteral("1280x1024"),
                QStringLiteral("--wayland-display=") + m_wayland});
    m_compositor.start(command.first(), command.mid(1));
    if (!m_compositor.waitForStarted())
        return QStringLiteral("mutter did not start: ") + m_compositor.errorString();
    const QString fault = waitForDisplays([this] { return displayIn(m_log, "Using public X11 display :(\\d+)"); });
    if (!fault.isEmpty())
        return fault;
    // Its Xwayland admits only the holders of the cookie it wrote.
    const QStringList cookies =
        QDir(m_runtime->path()).entryList({QStringLiteral(".mutter-Xwaylandauth.*")}, QDir::Files | QDir::Hidden);
    if (cookies.isEmpty())
        return QStringLiteral("mutter wrote no cookie for its Xwayland");
    m_xAuthority = m_runtime->filePath(cookies.first());
    return {};
}

QString CompositorSession::startTool(const QString &executable, const QStringList &arguments,
                                     const QProcessEnvironment &extra)
{
    QProcessEnvironment env = environment();
    env.insert(QStringLiteral("QUARNET_PORT"), QStringLiteral("virtual"));
    env.insert(QStringLiteral("QUARNET_PORT_TRACE"), tracePath());
    env.insert(extra);
    m_tool.setProcessEnvironment(env);
    m_tool.setProcessChannelMode(QProcess::MergedChannels);
    const QStringList command = DesktopSession::asDesktopUser(executable, arguments);
    m_tool.start(command.first(), command.mid(1));
    if (!m_tool.waitForStarted())
        return QStringLiteral("quarnet did not start: ") + ChildProcess::failure(m_tool);
    return {};
}

QString CompositorSession::run(const QString &program, const QStringList &arguments, QString *fault)
{
    const QStringList command = DesktopSession::asDesktopUser(program, arguments);
    QProcess process;
    process.setProcessEnvironment(environment());
    process.start(command.first(), command.mid(1));
    QString why;
    if (!process.waitForFinished(20000)) {
        process.kill();
        process.waitForFinished(5000);
        why = program + QStringLiteral(" did not finish");
    } else if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        why = program + QStringLiteral(" failed: ") + QString::fromLocal8Bit(process.readAllStandardError());
    }
    if (fault)
        *fault = why;
    return why.isEmpty() ? QString::fromLocal8Bit(process.readAllStandardOutput()) : QString();
}

QString CompositorSession::xdotool(const QStringList &arguments, QString *fault)
{
    return run(QStringLiteral("xdotool"), arguments, fault);
}

QMap<QString, QString> CompositorSession::properties(const QString &windowId, const QStringList &names,
                                                     QString *fault)
{
    const QString output = run(QStringLiteral("xprop"), QStringList{QStringLiteral("-id"), windowId} + names, fault);
    QMap<QString, QString> values;
    if (!fault->isEmpty())
        return values;
    for (const QString &name : names)
        values.insert(name, QString());
    for (const QString &line : output.split(QLatin1Char('\n'))) {
        const qsizetype equals = line.indexOf(QLatin1String(" = "));
        const qsizetype open = line.indexOf(QLatin1Char('('));
        if (equals > 0 && open > 0)
            values.insert(line.left(open), line.mid(equals + 3).trimmed());
    }
    return values;
}

QSize CompositorSession::screenSize()
{
    const QString info = run(QStringLiteral("xwininfo"), {QStringLiteral("-root")}, nullptr);
    const QRegularExpressionMatch width = QRegularExpression(QStringLiteral("Width: (\\d+)")).match(info);
    const QRegularExpressionMatch height = QRegularExpression(QStringLiteral("Height: (\\d+)")).match(info);
    if (!width.hasMatch() || !height.hasMatch())
        return {};
    return {width.captured(1).toInt(), height.captured(1).toInt()};
}

QList<CompositorSession::XWindow> CompositorSession::toolWindows()
{
    QString fault;
    const QString visible = xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                     QStringLiteral("--classname"), QStringLiteral("^quarnet$")},
                                    &fault);
    QList<qulonglong> shown;
    for (const QString &id : visible.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        shown << id.toULongLong();
    if (shown.isEmpty())
        return {};
    const QString tree = run(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-tree")}, nullptr);
    // `   0x400011 "Quarnet V1.3": ("quarnet" "quarnet")  240x273+38+59  +505+227`
    static const QRegularExpression line(QStringLiteral(
        "^( *)(0x[0-9a-f]+) (?:\"(.*)\"|\\(has no name\\)): \\((?:\"([^\"]*)\" \"([^\"]*)\")?\\)"
        "\\s+(\\d+)x(\\d+)\\+(-?\\d+)\\+(-?\\d+)\\s+\\+(-?\\d+)\\+(-?\\d+)"));
    QList<XWindow> windows;
    QRect rootChild;
    int rootChildIndent = -1;
    for (const QString &text : tree.split(QLatin1Char('\n'))) {
        const QRegularExpressionMatch m = line.match(text);
        if (!m.hasMatch())
            continue;
        const int indent = int(m.captured(1).size());
        const QRect absolute(m.captured(10).toInt(), m.captured(11).toInt(), m.captured(6).toInt(),
                             m.captured(7).toInt());
        if (rootChildIndent < 0 || indent <= rootChildIndent) {
            rootChildIndent = indent;
            rootChild = absolute;
        }
        if (m.captured(5) != QLatin1String("quarnet") || !shown.contains(m.captured(2).toULongLong(nullptr, 16)))
            continue;
        windows << XWindow{m.captured(2), m.captured(3), m.captured(5), absolute, rootChild};
    }
    return windows;
}

QString CompositorSession::screenshot(const QString &path)
{
    QDir shots(m_runtime->filePath(QStringLiteral("shots")));
    if (!shots.exists()) {
        if (!shots.mkpath(QStringLiteral(".")))
            return QStringLiteral("no folder for screenshots");
        if (DesktopSession::runningAsRoot() && ::chown(QFile::encodeName(shots.path()).constData(), DesktopSession::Nobody, DesktopSession::NoGroup) != 0)
            return QStringLiteral("cannot hand the screenshot folder to nobody");
    }
    for (const QString &old : shots.entryList(QDir::Files))
        shots.remove(old);
    QString fault;
    if (m_kind == Kind::Weston) {
        // It writes wayland-screenshot-<time>.png where it runs.
        const QStringList command = DesktopSession::asDesktopUser(QStringLiteral("weston-screenshooter"), {});
        QProcess shooter;
        shooter.setProcessEnvironment(environment());
        shooter.setWorkingDirectory(shots.path());
        shooter.start(command.first(), command.mid(1));
        if (!shooter.waitForFinished(20000) || shooter.exitCode() != 0)
            return QStringLiteral("weston-screenshooter failed: ") + QString::fromLocal8Bit(shooter.readAll());
    } else if (m_kind == Kind::Labwc) {
        run(QStringLiteral("grim"), {shots.filePath(QStringLiteral("screen.png"))}, &fault);
        if (!fault.isEmpty())
            return fault;
    } else {
        return QStringLiteral("no screenshot tool for ") + name(m_kind);
    }
    const QStringList written = shots.entryList({QStringLiteral("*.png")}, QDir::Files);
    if (written.isEmpty())
        return QStringLiteral("no screenshot written");
    QFile::remove(path);
    if (!QFile::copy(shots.filePath(written.first()), path))
        return QStringLiteral("cannot copy the screenshot to ") + path;
    return {};
}

QString CompositorSession::notInThisRelease(Kind kind)
{
    if (kind != Kind::Labwc || !QStandardPaths::findExecutable(name(kind)).isEmpty())
        return {};
    QFile version(QStringLiteral("/etc/debian_version"));
    if (version.open(QIODevice::ReadOnly) && version.readAll().startsWith("12"))
        return QStringLiteral("labwc is not in Debian 12");
    return {};
}

int CompositorSession::westonMajor()
{
    QProcess weston;
    weston.start(QStringLiteral("weston"), {QStringLiteral("--version")});
    if (!weston.waitForFinished(10000))
        return 0;
    const QByteArray version = weston.readAll().trimmed();
    return version.mid(version.indexOf(' ') + 1).split('.').value(0).toInt();
}

void CompositorSession::addRows()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<bool>("waylandPlugin");
    for (Kind kind : {Kind::Weston, Kind::Labwc, Kind::Mutter}) {
        const QByteArray compositor = name(kind).toLatin1();
        QTest::newRow(compositor + " with qt6-wayland") << kind << true;
        QTest::newRow(compositor + " without qt6-wayland") << kind << false;
    }
}

void CompositorSession::keepScreenshot(const QString &name)
{
    const QString folder = qEnvironmentVariable("QUARNET_WAYLAND_SHOTS");
    if (folder.isEmpty() || !canScreenshot(m_kind))
        return;
    const QString fault = screenshot(QDir(folder).filePath(name + QStringLiteral(".png")));
    if (!fault.isEmpty())
        qWarning("%s", qPrintable(fault));
}

QString CompositorSession::startRow(Kind kind, bool waylandPlugin, QString &executable)
{
    if (const QString missing = missingTools(kind); !missing.isEmpty())
        return QStringLiteral("install ") + missing + QStringLiteral(" (./test installs them)");
    if (QString fault = start(kind); !fault.isEmpty())
        return fault;
    if (!waylandPlugin) {
        executable = withoutWaylandPlugins(executable);
        if (executable.isEmpty())
            return QStringLiteral("cannot make a Qt without its Wayland plugins");
    }
    return {};
}

QString CompositorSession::withoutWaylandPlugins(const QString &executable)
{
    const QString folder = m_runtime->filePath(QStringLiteral("bare"));
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
