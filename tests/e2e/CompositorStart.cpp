// CompositorSession's start-up, apart from what the tests ask of a running
// session: each compositor comes up headless in a process group of its own
// and tells in its own way where its Xwayland listens. The destructor is
// here too, as it ends the group the start made.
#include "CompositorSession.h"

#include "DesktopSession.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
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
