#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

#include <csignal>
#include <sys/types.h>

// What every test that starts the real executable needs around QProcess.
namespace ChildProcess {

// For a run the tool must end before its window system opens: Qt aborts a
// process that opens a platform that does not exist, so an ending that
// comes after it shows as a crash, not as a slow answer.
inline const QString NoWindowSystem = QStringLiteral("quarnet-test-no-window-system");
// How long such an ending may take on a loaded machine or under an emulator;
// an answer ends the wait at once.
constexpr int RefusalBoundMs = 30000;

// Tests read the child's standard error line by line. Qt 6.8 and later warn
// there when the locale is plain "C" (a bare container, a CI runner) and
// switch to C.UTF-8 themselves; handing the child C.UTF-8, which glibc always
// has, keeps the toolkit quiet whatever the machine's own locale is.
inline QProcessEnvironment environment()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    env.remove(QStringLiteral("LANGUAGE"));
    return env;
}

// Why a child is not there: the start error and whatever it said before it
// went. Only peeked at: QVERIFY2 builds its message even when the check
// passes, and the test reads the child's standard error afterwards.
inline QString failure(QProcess &process)
{
    QString why = process.errorString();
    const QProcess::ProcessChannel channel = process.readChannel();
    process.setReadChannel(QProcess::StandardError);
    const QByteArray told = process.peek(8192);
    process.setReadChannel(channel);
    if (!told.isEmpty())
        why += QStringLiteral("; its standard error: ") + QString::fromLocal8Bit(told);
    return why;
}

// A process that never started, or has been reaped, has pid 0, and kill()
// with 0 or less signals the whole process group: ctest and the shell that
// ran it. Only a live child of its own is ever signalled.
inline bool signal(const QProcess &process, int signo)
{
    const qint64 pid = process.processId();
    if (pid <= 0 || process.state() == QProcess::NotRunning)
        return false;
    return ::kill(pid_t(pid), signo) == 0;
}

} // namespace ChildProcess
