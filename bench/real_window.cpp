// The tool as a user runs it: the real executable on its own X display,
// its window clicked to 1000 steps/s and "Start", beside two busy processes
// per CPU, in a session of their own (another terminal's build) and in the
// tool's (one started from the same shell). Each once without the priority
// it asks for (run without CAP_SYS_NICE, when this runs as root) and once
// with whatever this user is granted. What the motor got is read from the
// port trace the tool writes.

#include "BusyProcesses.h"
#include "DesktopSession.h"
#include "PortTraceReader.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <cstdio>
#include <unistd.h>

namespace {

const QPoint Start = DesktopSession::centreOf("Command1");
const QPoint Chiudi = DesktopSession::centreOf("Command2");
const QPoint Stop = DesktopSession::centreOf("Command3");
const QPoint Faster = DesktopSession::centreOf("Command8(0)"); // "++"
const QPoint Slower = DesktopSession::centreOf("Command8(2)"); // "-"

constexpr int Wanted = 1000;          // 1 + 100 x "++" - 1 x "-"
constexpr double SettleSeconds = 1.0; // from the first step: the raise is asked at "Start"
constexpr double CountedSeconds = 8.0;
constexpr double BoundPct = 2.0;

struct Outcome
{
    QString fault;
    double rate = 0;
    int niceInRun = 0;
    QString groupInRun;
};

// Field 19 of /proc/<pid>/stat, after the command's closing parenthesis.
int niceOf(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 99;
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 16 ? fields[16].toInt() : 99;
}

QString groupOf(qint64 pid)
{
    QFile group(QStringLiteral("/proc/%1/autogroup").arg(pid));
    if (!group.open(QIODevice::ReadOnly))
        return QStringLiteral("none");
    return QString::fromLatin1(group.readAll().simplified());
}

// Steps made from SettleSeconds after the first for CountedSeconds.
double deliveredRate(const QString &tracePath, std::uint64_t &firstNs)
{
    const PortTraceContents trace = PortTraceReader::readFile(tracePath);
    // The hand-over's own writes come first: the run starts at the first
    // byte with a phase line on.
    std::uint64_t from = 0;
    int steps = 0;
    std::uint64_t last = 0;
    for (const PortTraceLine &line : trace.lines) {
        if ((line.value & 0x0F) == 0)
            continue;
        if (firstNs == 0)
            firstNs = line.ns;
        if (line.ns < firstNs + std::uint64_t(SettleSeconds * 1e9))
            continue;
        if (line.ns > firstNs + std::uint64_t((SettleSeconds + CountedSeconds) * 1e9))
            break;
        if (from == 0)
            from = line.ns;
        last = line.ns;
        ++steps;
    }
    return steps > 1 && last > from ? (steps - 1) * 1e9 / double(last - from) : 0;
}

Outcome runOnce(const QString &executable, const QString &tracePath)
{
    Outcome out;
    DesktopSession session;
    const auto fail = [&](const QString &what) {
        out.fault = what;
        return out;
    };
    if (QString f = session.startDisplay(); !f.isEmpty())
        return fail(f);
    if (QString f = session.startTool(executable, tracePath); !f.isEmpty())
        return fail(f);
    if (!DesktopSession::waitFor([&] { return QFile(tracePath).size() > 0; }, 120000))
        return fail(QStringLiteral("no hand-over to the main window"));
    if (QString f = session.waitForMainWindow(30000); !f.isEmpty())
        return fail(f);
    for (int i = 0; i < (Wanted - 1) / 10 + 1; ++i)
        if (QString f = session.click(Faster); !f.isEmpty())
            return fail(f);
    if (QString f = session.click(Slower); !f.isEmpty())
        return fail(f);
    if (QString f = session.click(Start); !f.isEmpty())
        return fail(f);
    QTest::qWait(int((SettleSeconds + CountedSeconds) * 1000) + 1500);
    const qint64 pid = session.tool().processId();
    out.niceInRun = niceOf(pid);
    out.groupInRun = groupOf(pid);
    session.click(Stop);
    session.click(Chiudi);
    if (!session.tool().waitForFinished(20000))
        return fail(QStringLiteral("the tool did not close"));
    std::uint64_t first = 0;
    out.rate = deliveredRate(tracePath, first);
    if (out.rate <= 0)
        return fail(QStringLiteral("no steps in the trace"));
    return out;
}

// Root would be granted it: the same executable with CAP_SYS_NICE taken
// from its bounding set, RLIMIT_NICE at root's default of none.
QString withoutPrivilege(const QTemporaryDir &dir, const QString &executable)
{
    const QString path = dir.filePath(QStringLiteral("unprivileged"));
    QFile script(path);
    if (!script.open(QIODevice::WriteOnly))
        return {};
    script.write(QStringLiteral("#!/bin/sh\nexec setpriv --inh-caps=-sys_nice --bounding-set=-sys_nice "
                                "prlimit --nice=0 -- '%1' \"$@\"\n")
                     .arg(executable)
                     .toLocal8Bit());
    script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return path;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (const QString missing = DesktopSession::missingTools(); !missing.isEmpty()) {
        std::fprintf(stderr, "real_window: %s\n", qPrintable(missing));
        return 2;
    }
    const QString executable = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(QUARNET_EXECUTABLE);
    QTemporaryDir dir;
    const int busy = 2 * QThread::idealThreadCount();
    std::printf("The real window at %d steps/s beside %d busy processes (two per CPU), counted over %.0f s "
                "from %.0f s after the first step\n",
                Wanted, busy, CountedSeconds, SettleSeconds);
    std::printf("%-22s %-26s %5s %-24s %10s %8s\n", "busy processes", "tool", "nice", "tool's session group",
                "steps/s", "error %");
    bool met = true;
    for (BusyProcesses::Session where : {BusyProcesses::Session::Own, BusyProcesses::Session::Shared}) {
        for (bool privileged : {false, true}) {
            if (!privileged && ::geteuid() != 0)
                continue; // as an ordinary user the one run below is the unprivileged one
            const QString program = privileged ? executable : withoutPrivilege(dir, executable);
            const QString trace = dir.filePath(QStringLiteral("%1-%2.trace").arg(int(where)).arg(privileged));
            BusyProcesses others(busy, 180.0, where);
            const char *whereText =
                where == BusyProcesses::Session::Own ? "in their own session" : "in the tool's session";
            std::fprintf(stderr, "real_window: %s, %s\n", whereText,
                         privileged ? "as this user" : "without CAP_SYS_NICE");
            const Outcome out = runOnce(program, trace);
            others.stop();
            const char *label = privileged ? "as this user" : "root without CAP_SYS_NICE";
            if (!out.fault.isEmpty()) {
                std::printf("%-22s %-26s failed: %s\n", whereText, label, qPrintable(out.fault));
                met = false;
                continue;
            }
            const double errorPct = (out.rate / Wanted - 1) * 100;
            std::printf("%-22s %-26s %5d %-24s %10.1f %+8.2f\n", whereText, label, out.niceInRun,
                        qPrintable(out.groupInRun), out.rate, errorPct);
            if (privileged) {
                const bool within = std::fabs(errorPct) <= BoundPct;
                std::printf("  within %.0f %% with the priority granted: %s\n", BoundPct,
                            out.niceInRun < 0 ? (within ? "met" : "MISSED") : "not granted to this user");
                met = met && (within || out.niceInRun >= 0);
            }
        }
    }
    return met ? 0 : 1;
}
