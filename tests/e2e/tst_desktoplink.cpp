#include "DesktopSession.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

// The real executable on its own X display: a click on the link starts the
// desktop's opener (xdg-open, here a script first on PATH that writes down
// its environment and arguments). The opener must get the environment the
// user started the tool with, not what the tool set for itself, and none of
// its sockets: the guardian takes the end of the tool's socket closing for
// the tool having ended, and a browser that kept it open would hold that off.

namespace {

constexpr QPoint OnTheLink{60, 14}; // inside Label4, in pixels
constexpr int HandOverTimeoutMs = 90000;

const char *const FakeOpener = "#!/bin/sh\n"
                               "{ env; echo \"ARGUMENT=$1\";\n"
                               "  for fd in /proc/$$/fd/*; do echo \"FD=${fd##*/} $(readlink $fd)\"; done;\n"
                               "} > \"$0.seen.tmp\"\n"
                               "mv \"$0.seen.tmp\" \"$0.seen\"\n";

} // namespace

class TestDesktopLink : public QObject
{
    Q_OBJECT

private slots:
    void openerGetsTheUsersEnvironment_data();
    void openerGetsTheUsersEnvironment();
};

void TestDesktopLink::openerGetsTheUsersEnvironment_data()
{
    QTest::addColumn<bool>("userSets");
    QTest::newRow("QT_NO_GLIB unset by the user") << false;
    QTest::newRow("QT_NO_GLIB=1 set by the user") << true;
}

void TestDesktopLink::openerGetsTheUsersEnvironment()
{
    QFETCH(bool, userSets);
    const QString missing = DesktopSession::missingTools();
    QVERIFY2(missing.isEmpty(), qPrintable(missing));
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString opener = dir.filePath(QStringLiteral("xdg-open"));
    QFile script(opener);
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write(FakeOpener);
    script.close();
    QVERIFY(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

    // The session starts from this process's environment: it stands for
    // the user's.
    qunsetenv("QT_NO_GLIB");
    qunsetenv("SNAP"); // a snap would hand the address to a portal instead
    QProcessEnvironment user;
    user.insert(QStringLiteral("PATH"), dir.path() + QLatin1Char(':') + qEnvironmentVariable("PATH"));
    if (userSets)
        user.insert(QStringLiteral("QT_NO_GLIB"), QStringLiteral("1"));
    // As root the tool opens no browser: it runs here as sudo would start it
    // for the user "nobody", and becomes that user before anything else.
    if (::geteuid() == 0) {
        for (const QString &path : {dir.path(), opener})
            QCOMPARE(::chown(QFile::encodeName(path).constData(), 65534, 65534), 0);
        user.insert(QStringLiteral("SUDO_UID"), QStringLiteral("65534"));
        user.insert(QStringLiteral("SUDO_GID"), QStringLiteral("65534"));
        user.insert(QStringLiteral("SUDO_USER"), QStringLiteral("nobody"));
    }

    DesktopSession session;
    QString fault = session.startDisplay();
    if (fault.isEmpty())
        fault = session.startTool(QStringLiteral(QUARNET_EXECUTABLE), dir.filePath("trace"), user);
    if (fault.isEmpty())
        fault = session.waitForMainWindow(HandOverTimeoutMs);
    if (fault.isEmpty())
        fault = session.click(OnTheLink);
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(opener + QStringLiteral(".seen")), 20000);

    QFile seen(opener + QStringLiteral(".seen"));
    QVERIFY(seen.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromLocal8Bit(seen.readAll()).split(QLatin1Char('\n'));
    QVERIFY2(!lines.filter(QRegularExpression(QStringLiteral("^ARGUMENT=http://www.example.org/quarnet")))
                  .isEmpty(),
             qPrintable(lines.filter(QStringLiteral("ARGUMENT=")).join(QLatin1Char('\n'))));
    const QStringList noGlib = lines.filter(QRegularExpression(QStringLiteral("^QT_NO_GLIB=")));
    QCOMPARE(noGlib, userSets ? QStringList{QStringLiteral("QT_NO_GLIB=1")} : QStringList{});
    QVERIFY(!lines.filter(QRegularExpression(QStringLiteral("^FD=0 "))).isEmpty());
    const QStringList sockets = lines.filter(QRegularExpression(QStringLiteral("^FD=([3-9]|[1-9][0-9]+) socket:")));
    QVERIFY2(sockets.isEmpty(), qPrintable(sockets.join(QLatin1Char('\n'))));
}

QTEST_GUILESS_MAIN(TestDesktopLink)
#include "tst_desktoplink.moc"
