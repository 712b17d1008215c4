#include "ChildProcess.h"
#include "DesktopSession.h"
#include "PortTraceReader.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <unistd.h>

// The real executable started as root on behalf of another user, as sudo
// and pkexec start it: it must become that user before anything else (the
// window system, its plugins, the trace, the guardian), and as root it
// refuses the window system's options that load code from a folder.

namespace {

constexpr int HandOverTimeoutMs = 90000;
constexpr uid_t Nobody = 65534;

// "Uid:" or "Gid:" of /proc/PID/status: real, effective, saved, file system.
QStringList idsOf(qint64 pid, const char *field)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return {};
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return QString::fromLatin1(line.mid(int(qstrlen(field)))).simplified().split(QLatin1Char(' '));
    }
    return {};
}

// The guardian: the child of `pid` named quarnet-guard.
qint64 guardianOf(qint64 pid)
{
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        const qsizetype close = text.lastIndexOf(')');
        const QList<QByteArray> fields = text.mid(close + 2).split(' ');
        if (text.contains("(quarnet-guard)") && fields.size() > 1 && fields[1].toLongLong() == pid)
            return entry.toLongLong();
    }
    return 0;
}

} // namespace

class TestRootDrop : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void becomesTheInvokingUser_data();
    void becomesTheInvokingUser();
    void refusesCodeFromFoldersAsRoot_data();
    void refusesCodeFromFoldersAsRoot();
};

void TestRootDrop::init()
{
    if (::geteuid() != 0)
        QSKIP("needs root, as sudo gives it");
}

void TestRootDrop::becomesTheInvokingUser_data()
{
    QTest::addColumn<QStringList>("variables");
    QTest::newRow("sudo") << QStringList{"SUDO_UID=65534", "SUDO_GID=65534", "SUDO_USER=nobody"};
    QTest::newRow("pkexec") << QStringList{"PKEXEC_UID=65534"};
}

void TestRootDrop::becomesTheInvokingUser()
{
    QFETCH(QStringList, variables);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QCOMPARE(::chown(QFile::encodeName(dir.path()).constData(), Nobody, Nobody), 0);
    const QString trace = dir.filePath(QStringLiteral("trace"));

    QProcess tool;
    QProcessEnvironment env = ChildProcess::environment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("QUARNET_PORT"), QStringLiteral("virtual"));
    env.insert(QStringLiteral("QUARNET_PORT_TRACE"), trace);
    for (const QString &variable : variables)
        env.insert(variable.section(QLatin1Char('='), 0, 0), variable.section(QLatin1Char('='), 1));
    tool.setProcessEnvironment(env);
    tool.setProcessChannelMode(QProcess::ForwardedChannels);
    tool.start(QStringLiteral(QUARNET_EXECUTABLE), {});
    QVERIFY2(tool.waitForStarted(), qPrintable(ChildProcess::failure(tool)));
    QVERIFY2(DesktopSession::waitFor([&] { return !PortTraceReader::readFile(trace).lines.isEmpty(); },
                                     HandOverTimeoutMs),
             "no hand-over to the main window");

    const QStringList nobody(4, QString::number(Nobody));
    QCOMPARE(idsOf(tool.processId(), "Uid:"), nobody);
    QCOMPARE(idsOf(tool.processId(), "Gid:"), nobody);
    QVERIFY(!idsOf(tool.processId(), "Groups:").contains(QStringLiteral("0")));
    // The trace was created by the user, not by root.
    QCOMPARE(QFileInfo(trace).ownerId(), Nobody);
    const qint64 guardian = guardianOf(tool.processId());
    QVERIFY(guardian > 0);
    QCOMPARE(idsOf(guardian, "Uid:"), nobody);

    QVERIFY(ChildProcess::signal(tool, SIGTERM));
    QVERIFY(tool.waitForFinished(20000));
    QCOMPARE(tool.exitCode(), 0);
    QCOMPARE(PortTraceReader::readFile(trace).lines.last().value, 64);
}

void TestRootDrop::refusesCodeFromFoldersAsRoot_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("variable");
    QTest::addColumn<QString>("named");
    QTest::newRow("-platformpluginpath") << QStringList{"-platformpluginpath", "/tmp"} << "" << "-platformpluginpath";
    QTest::newRow("-plugin") << QStringList{"-plugin", "evdevmouse"} << "" << "-plugin";
    QTest::newRow("QT_PLUGIN_PATH") << QStringList{} << "QT_PLUGIN_PATH" << "QT_PLUGIN_PATH";
    QTest::newRow("QT_QPA_PLATFORM_PLUGIN_PATH") << QStringList{} << "QT_QPA_PLATFORM_PLUGIN_PATH"
                                                 << "QT_QPA_PLATFORM_PLUGIN_PATH";
}

void TestRootDrop::refusesCodeFromFoldersAsRoot()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, variable);
    QFETCH(QString, named);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QProcess tool;
    QProcessEnvironment env = ChildProcess::environment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("QUARNET_PORT"), QStringLiteral("virtual"));
    env.insert(QStringLiteral("QUARNET_PORT_TRACE"), dir.filePath(QStringLiteral("trace")));
    for (const char *sudo : {"SUDO_UID", "SUDO_GID", "SUDO_USER", "PKEXEC_UID"})
        env.remove(QString::fromLatin1(sudo));
    if (!variable.isEmpty())
        env.insert(variable, dir.path());
    tool.setProcessEnvironment(env);
    tool.start(QStringLiteral(QUARNET_EXECUTABLE), arguments);
    QVERIFY(tool.waitForFinished(30000));
    QCOMPARE(tool.exitCode(), 2);
    const QByteArray told = tool.readAllStandardError();
    QVERIFY2(told.startsWith("quarnet: " + named.toUtf8()) && told.contains("refused as root"), told.constData());
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("trace"))));
}

QTEST_GUILESS_MAIN(TestRootDrop)
#include "tst_rootdrop.moc"
