// What the tests ask of a session once its compositor is up: the tool
// started on it, its windows and screen read back as a user's tools would.
// How each compositor is brought up is in CompositorStart.cpp.
#include "CompositorSession.h"

#include "ChildProcess.h"
#include "DesktopSession.h"

#include <QDir>
#include <QFile>
#include <QLibraryInfo>
#include <QTest>
#include <QRegularExpression>
#include <QStandardPaths>

#include <unistd.h>

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
