#include "QtEventPump.h"
#include "SignalBridge.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <atomic>
#include <chrono>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <pthread.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

namespace {

volatile std::sig_atomic_t s_previousHandlerRan = 0;
extern "C" void previousHandler(int) { s_previousHandlerRan = 1; }

enum class Kind { Ends, Stops, Absorbed, LeftAlone };

struct Handled
{
    const char *name;
    int signo;
    Kind kind;
};

// Every signal whose default action ends, dumps or stops the process.
QList<Handled> everySignal()
{
    return {
        {"SIGINT", SIGINT, Kind::Ends},       {"SIGTERM", SIGTERM, Kind::Ends},
        {"SIGHUP", SIGHUP, Kind::Ends},       {"SIGQUIT", SIGQUIT, Kind::Ends},
        {"SIGUSR1", SIGUSR1, Kind::Ends},     {"SIGUSR2", SIGUSR2, Kind::Ends},
        {"SIGALRM", SIGALRM, Kind::Ends},     {"SIGPWR", SIGPWR, Kind::Ends},
        {"SIGXCPU", SIGXCPU, Kind::Ends},     {"SIGVTALRM", SIGVTALRM, Kind::Ends},
        {"SIGIO", SIGIO, Kind::Ends},         {"SIGSTKFLT", SIGSTKFLT, Kind::Ends},
        {"SIGRTMIN", SIGRTMIN, Kind::Ends},   {"SIGRTMIN+1", SIGRTMIN + 1, Kind::Ends},
        {"SIGTSTP", SIGTSTP, Kind::Stops},    {"SIGTTIN", SIGTTIN, Kind::Stops},
        {"SIGTTOU", SIGTTOU, Kind::Stops},    {"SIGPIPE", SIGPIPE, Kind::Absorbed},
        {"SIGXFSZ", SIGXFSZ, Kind::Absorbed}, {"SIGSEGV", SIGSEGV, Kind::LeftAlone},
        {"SIGBUS", SIGBUS, Kind::LeftAlone},  {"SIGILL", SIGILL, Kind::LeftAlone},
        {"SIGFPE", SIGFPE, Kind::LeftAlone},  {"SIGABRT", SIGABRT, Kind::LeftAlone},
        {"SIGPROF", SIGPROF, Kind::LeftAlone},
    };
}

// The signals ignored in this process, from the kernel's own record.
quint64 ignoredMask(const QByteArray &status)
{
    for (const QByteArray &line : status.split('\n')) {
        if (line.startsWith("SigIgn:"))
            return line.mid(7).trimmed().toULongLong(nullptr, 16);
    }
    return ~quint64(0);
}

bool ignored(quint64 mask, int signo)
{
    return mask & (quint64(1) << (signo - 1));
}

// What a program started now gets: run through posix_spawn, which changes
// no disposition itself (QProcess resets SIGPIPE in its children).
QByteArray statusOfAStartedProgram()
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    char cat[] = "cat";
    char path[] = "/proc/self/status";
    char *argv[] = {cat, path, nullptr};
    pid_t pid = 0;
    const int failed = posix_spawnp(&pid, "cat", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    QByteArray out;
    char buffer[4096];
    ssize_t n;
    while (!failed && ((n = ::read(fds[0], buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR))) {
        if (n > 0)
            out.append(buffer, n);
    }
    ::close(fds[0]);
    if (!failed)
        ::waitpid(pid, nullptr, 0);
    return out;
}

char threadState(pid_t tid)
{
    QFile stat(QStringLiteral("/proc/self/task/%1/stat").arg(tid));
    if (!stat.open(QIODevice::ReadOnly))
        return '?';
    const QByteArray text = stat.readAll();
    const qsizetype close = text.lastIndexOf(')');
    return close >= 0 && close + 2 < text.size() ? text[close + 2] : '?';
}

} // namespace

class TestSignalBridge : public QObject
{
    Q_OBJECT

private slots:
    void eachSignalHandledAsItsKind_data();
    void eachSignalHandledAsItsKind();
    void ignoredAtStartStaysIgnored_data();
    void ignoredAtStartStaysIgnored();
    void startedProgramsGetTheDefaults();
    void pendingRequestsInOnePass_data();
    void pendingRequestsInOnePass();
    void secondSignalWhileHandlingIsAbsorbed();
    void terminalStopsFailTheCallThatCausedThem_data();
    void terminalStopsFailTheCallThatCausedThem();
    void onlyOneBridgePerProcess();
    void previousHandlersComeBackAfterTheBridge();
};

void TestSignalBridge::eachSignalHandledAsItsKind_data()
{
    QTest::addColumn<int>("signo");
    QTest::addColumn<int>("kind");
    for (const Handled &row : everySignal())
        QTest::newRow(row.name) << row.signo << int(row.kind);
}

// The run loop turns the event loop only through its pump, once per step:
// one pass must be enough for a request to arrive. An absorbed signal must
// neither kill the process nor ask for anything; a crash signal's handler
// is someone else's and stays as it was.
void TestSignalBridge::eachSignalHandledAsItsKind()
{
    QFETCH(int, signo);
    QFETCH(int, kind);
    struct sigaction before;
    QCOMPARE(::sigaction(signo, nullptr, &before), 0);

    SignalBridge bridge;
    QVERIFY2(bridge.isActive(), qPrintable(bridge.errorString()));
    if (Kind(kind) == Kind::LeftAlone) {
        struct sigaction during;
        QCOMPARE(::sigaction(signo, nullptr, &during), 0);
        QVERIFY(during.sa_handler == before.sa_handler);
        QCOMPARE(during.sa_flags, before.sa_flags);
        return;
    }
    QSignalSpy ends(&bridge, &SignalBridge::terminationRequested);
    QSignalSpy stops(&bridge, &SignalBridge::stopRequested);
    QtEventPump pump;
    pump.processPendingEvents();
    QCOMPARE(ends.count() + stops.count(), 0);

    QCOMPARE(std::raise(signo), 0);
    pump.processPendingEvents();
    QCOMPARE(ends.count(), Kind(kind) == Kind::Ends ? 1 : 0);
    QCOMPARE(stops.count(), Kind(kind) == Kind::Stops ? 1 : 0);
}

void TestSignalBridge::ignoredAtStartStaysIgnored_data()
{
    QTest::addColumn<int>("signo");
    for (const Handled &row : everySignal()) {
        if (row.kind != Kind::LeftAlone)
            QTest::newRow(row.name) << row.signo;
    }
}

// nohup, or a shell's `trap '' HUP`, ignores a signal for the program it
// starts: the tool must not take it back.
void TestSignalBridge::ignoredAtStartStaysIgnored()
{
    QFETCH(int, signo);
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction original;
    QCOMPARE(::sigaction(signo, &ignore, &original), 0);
    bool stillIgnored = false;
    qsizetype requests = -1;
    {
        SignalBridge bridge;
        QSignalSpy ends(&bridge, &SignalBridge::terminationRequested);
        QSignalSpy stops(&bridge, &SignalBridge::stopRequested);
        struct sigaction during;
        stillIgnored = bridge.isActive() && ::sigaction(signo, nullptr, &during) == 0
                       && during.sa_handler == SIG_IGN;
        if (stillIgnored)
            std::raise(signo);
        QtEventPump().processPendingEvents();
        requests = ends.count() + stops.count();
    }
    // Put back only once the bridge has put back what it found.
    ::sigaction(signo, &original, nullptr);
    QVERIFY(stillIgnored);
    QCOMPARE(requests, 0);
}

// The handlers die with exec; SIG_IGN would not, and would reach the link's
// browser or mail client. Only what this process already ignored may be
// ignored there.
void TestSignalBridge::startedProgramsGetTheDefaults()
{
    QFile self(QStringLiteral("/proc/self/status"));
    QVERIFY(self.open(QIODevice::ReadOnly));
    const quint64 ignoredHere = ignoredMask(self.readAll());
    SignalBridge bridge;
    QVERIFY(bridge.isActive());

    const QByteArray status = statusOfAStartedProgram();
    QVERIFY2(status.contains("SigIgn:"), "cat /proc/self/status could not be run");
    const quint64 ignoredThere = ignoredMask(status);
    for (const Handled &row : everySignal()) {
        if (!ignored(ignoredHere, row.signo))
            QVERIFY2(!ignored(ignoredThere, row.signo), row.name);
    }
}

void TestSignalBridge::pendingRequestsInOnePass_data()
{
    QTest::addColumn<QList<int>>("raised");
    QTest::addColumn<int>("ends");
    QTest::addColumn<int>("stops");
    QTest::newRow("two stops") << QList<int>{SIGTSTP, SIGTTOU} << 0 << 1;
    QTest::newRow("a stop, then an end") << QList<int>{SIGTSTP, SIGTERM} << 1 << 0;
    QTest::newRow("an end, then a stop") << QList<int>{SIGINT, SIGTSTP} << 1 << 0;
}

// Requests that wait for the same pass are answered once; an end wins, and
// after it a stop is no longer asked for. Without an end, each later stop
// is asked for again: the process was continued in between.
void TestSignalBridge::pendingRequestsInOnePass()
{
    QFETCH(QList<int>, raised);
    QFETCH(int, ends);
    QFETCH(int, stops);
    SignalBridge bridge;
    QVERIFY(bridge.isActive());
    QSignalSpy endSpy(&bridge, &SignalBridge::terminationRequested);
    QSignalSpy stopSpy(&bridge, &SignalBridge::stopRequested);
    QtEventPump pump;
    for (int signo : raised)
        std::raise(signo);
    pump.processPendingEvents();
    QCOMPARE(endSpy.count(), ends);
    QCOMPARE(stopSpy.count(), stops);

    std::raise(SIGTSTP);
    pump.processPendingEvents();
    QCOMPARE(stopSpy.count(), ends ? 0 : stops + 1);
}

// While the window's close sequence runs, further signals must neither kill
// the process nor start the sequence a second time.
void TestSignalBridge::secondSignalWhileHandlingIsAbsorbed()
{
    SignalBridge bridge;
    QVERIFY(bridge.isActive());
    QtEventPump pump;
    int handled = 0;
    connect(&bridge, &SignalBridge::terminationRequested, this, [&] {
        ++handled;
        std::raise(SIGTERM);
        std::raise(SIGQUIT);
        pump.processPendingEvents();
    });

    std::raise(SIGHUP);
    for (int i = 0; i < 3; ++i)
        pump.processPendingEvents();
    QCOMPARE(handled, 1);
}

void TestSignalBridge::terminalStopsFailTheCallThatCausedThem_data()
{
    QTest::addColumn<int>("signo");
    QTest::addColumn<bool>("interrupts");
    QTest::newRow("SIGTTOU") << int(SIGTTOU) << true;
    QTest::newRow("SIGTTIN") << int(SIGTTIN) << true;
    QTest::newRow("SIGTSTP") << int(SIGTSTP) << false;
    QTest::newRow("SIGTERM") << int(SIGTERM) << false;
}

// A background process that writes to its terminal gets SIGTTOU from that
// very write, and again each time the call is restarted: the call must fail
// instead, or the thread never gets back to the event pass that stops the
// process. Other requests leave a blocking call to go on.
void TestSignalBridge::terminalStopsFailTheCallThatCausedThem()
{
    QFETCH(int, signo);
    QFETCH(bool, interrupts);
    SignalBridge bridge;
    QVERIFY(bridge.isActive());
    QSignalSpy ends(&bridge, &SignalBridge::terminationRequested);
    QSignalSpy stops(&bridge, &SignalBridge::stopRequested);
    int fds[2];
    QCOMPARE(::pipe2(fds, O_CLOEXEC), 0);

    std::atomic<pid_t> tid{0};
    ssize_t result = 0;
    int error = 0;
    std::thread reader([&] {
        tid = ::gettid();
        char byte;
        result = ::read(fds[0], &byte, 1);
        error = errno;
    });
    // The signal must find the thread inside its read. Until the thread is
    // joined no check may return early.
    const QDeadlineTimer deadline(10000);
    while ((tid == 0 || threadState(tid) != 'S') && !deadline.hasExpired())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const bool wasBlocked = tid != 0 && threadState(tid) == 'S';
    bool requested = false;
    if (wasBlocked) {
        ::pthread_kill(reader.native_handle(), signo);
        while (!(requested = ends.count() + stops.count() == 1) && !deadline.hasExpired())
            QTest::qWait(1);
    }
    // Releases a read that went on; one that failed has returned already.
    const bool released = ::write(fds[1], "x", 1) == 1;
    reader.join();
    ::close(fds[0]);
    ::close(fds[1]);
    QVERIFY2(wasBlocked, "the reading thread never blocked");
    QVERIFY(requested);
    QVERIFY(released);
    if (interrupts) {
        QCOMPARE(result, ssize_t(-1));
        QCOMPARE(error, EINTR);
    } else {
        QCOMPARE(result, ssize_t(1));
    }
}

void TestSignalBridge::onlyOneBridgePerProcess()
{
    SignalBridge first;
    QVERIFY(first.isActive());
    {
        SignalBridge second;
        QVERIFY(!second.isActive());
        QVERIFY(!second.errorString().isEmpty());
    }
    // The refused one must not have taken the handlers' pipe away.
    QSignalSpy spy(&first, &SignalBridge::terminationRequested);
    std::raise(SIGTERM);
    QtEventPump().processPendingEvents();
    QCOMPARE(spy.count(), 1);
}

void TestSignalBridge::previousHandlersComeBackAfterTheBridge()
{
    struct sigaction mine = {};
    mine.sa_handler = previousHandler;
    struct sigaction original;
    QCOMPARE(::sigaction(SIGHUP, &mine, &original), 0);

    {
        SignalBridge bridge;
        QVERIFY(bridge.isActive());
    }
    s_previousHandlerRan = 0;
    std::raise(SIGHUP);
    QCOMPARE(int(s_previousHandlerRan), 1);

    // And a new bridge can be set up afterwards.
    SignalBridge again;
    QVERIFY(again.isActive());
    ::sigaction(SIGHUP, &original, nullptr);
}

QTEST_MAIN(TestSignalBridge)
#include "tst_signalbridge.moc"
