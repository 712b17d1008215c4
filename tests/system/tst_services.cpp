#include "DesktopShell.h"
#include "ProcessControl.h"
#include "QtEventPump.h"
#include "SystemClock.h"
#include "ThreadSleeper.h"
#include "WindowSystemChoice.h"

#include <QDesktopServices>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSocketNotifier>
#include <QTest>
#include <QTime>
#include <QUrl>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>

class UrlRecorder : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls.append(url); }
};

class TestServices : public QObject
{
    Q_OBJECT

private slots:
    void clockFollowsLocalTimeOfDay();
    void clockAdvancesInFractionsOfASecond();
    void sleeperBlocksForTheGivenTime_data();
    void sleeperBlocksForTheGivenTime();
    void pumpRunsWhatIsPendingAndReturns();
    void shellOpensAddressesAsTheDesktopWould_data();
    void shellOpensAddressesAsTheDesktopWould();
    void shellDropsUnopenableTargets_data();
    void shellDropsUnopenableTargets();
    void windowSystemLeftToTheUserOrXwayland_data();
    void windowSystemLeftToTheUserOrXwayland();
    void endNowRunsOnlyTheShutdownAction();
};

static constexpr double SecondsPerDay = 86400.0;

void TestServices::clockFollowsLocalTimeOfDay()
{
    SystemClock clock;
    const double expected = QTime::currentTime().msecsSinceStartOfDay() / 1000.0;
    const double reading = clock.secondsSinceMidnight();
    QVERIFY(reading >= 0.0 && reading < SecondsPerDay);
    double difference = std::fabs(reading - expected);
    difference = std::min(difference, SecondsPerDay - difference); // taken across midnight
    QVERIFY2(difference < 1.0, qPrintable(QString("clock %1, local time %2").arg(reading).arg(expected)));
}

void TestServices::clockAdvancesInFractionsOfASecond()
{
    SystemClock clock;
    QElapsedTimer timer;
    timer.start();
    const float first = clock.secondsSinceMidnight();
    float previous = first;
    bool sawFraction = false;
    while (timer.elapsed() < 300) {
        const float reading = clock.secondsSinceMidnight();
        if (reading < previous - SecondsPerDay / 2)
            QSKIP("the clock crossed midnight during the test");
        QVERIFY2(reading >= previous, qPrintable(QString("%1 after %2").arg(reading).arg(previous)));
        sawFraction = sawFraction || reading != std::floor(reading);
        previous = reading;
        QTest::qSleep(7);
    }
    QVERIFY(sawFraction);
    // Sanity only: the readings moved on by roughly the time that passed.
    QVERIFY(previous - first > 0.1f && previous - first < 2.0f);
}

void TestServices::sleeperBlocksForTheGivenTime_data()
{
    QTest::addColumn<int>("milliseconds");
    QTest::addColumn<int>("atLeast");
    QTest::addColumn<int>("below");
    QTest::newRow("zero returns at once") << 0 << 0 << 50;
    QTest::newRow("negative returns at once") << -1000 << 0 << 50;
    QTest::newRow("blocks the full time") << 120 << 120 << 2000;
}

void TestServices::sleeperBlocksForTheGivenTime()
{
    QFETCH(int, milliseconds);
    QFETCH(int, atLeast);
    QFETCH(int, below);
    ThreadSleeper sleeper;
    QElapsedTimer timer;
    timer.start();
    sleeper.sleepMs(milliseconds);
    const qint64 took = timer.elapsed();
    QVERIFY2(took >= atLeast && took < below, qPrintable(QString("took %1 ms").arg(took)));
}

void TestServices::pumpRunsWhatIsPendingAndReturns()
{
    QtEventPump pump;

    bool posted = false;
    QMetaObject::invokeMethod(this, [&posted] { posted = true; }, Qt::QueuedConnection);

    int fds[2];
    QVERIFY(::pipe(fds) == 0);
    QSocketNotifier notifier(fds[0], QSocketNotifier::Read);
    int notified = 0;
    connect(&notifier, &QSocketNotifier::activated, this, [&] {
        char byte;
        QCOMPARE(::read(fds[0], &byte, 1), ssize_t(1));
        ++notified;
    });
    QCOMPARE(::write(fds[1], "x", 1), ssize_t(1));

    pump.processPendingEvents();
    QVERIFY(posted);
    QCOMPARE(notified, 1);

    // Nothing pending: the pass must not wait for the next event.
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < 100; ++i)
        pump.processPendingEvents();
    QVERIFY2(timer.elapsed() < 500, qPrintable(QString("100 idle passes took %1 ms").arg(timer.elapsed())));
    QCOMPARE(notified, 1);

    ::close(fds[0]);
    ::close(fds[1]);
}

void TestServices::shellOpensAddressesAsTheDesktopWould_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<QUrl>("expected");
    const QString subject = "?SUBJECT=Esempio di ShellExecute per browser e E-Mail";
    QTest::newRow("bare host with the subject")
            << "www.example.org/" + subject << "http"
            << QUrl("http://www.example.org/" + subject);
    QTest::newRow("full address") << "https://example.org/quarnet" << "https"
                                  << QUrl("https://example.org/quarnet");
    QTest::newRow("mail address") << "mailto:quarnet@example.org" + subject << "mailto"
                                  << QUrl("mailto:quarnet@example.org" + subject);
}

void TestServices::shellOpensAddressesAsTheDesktopWould()
{
    QFETCH(QString, target);
    QFETCH(QString, scheme);
    QFETCH(QUrl, expected);
    constexpr uid_t User = 1000;
    UrlRecorder recorder;
    QDesktopServices::setUrlHandler(scheme, &recorder, "open");
    DesktopShell(User).open(target);
    // A browser or mail client is never started as root.
    DesktopShell(0).open(target);
    QDesktopServices::unsetUrlHandler(scheme);
    QCOMPARE(recorder.urls, QList<QUrl>{expected});
}

void TestServices::shellDropsUnopenableTargets_data()
{
    QTest::addColumn<QString>("target");
    QTest::newRow("empty") << QString();
    QTest::newRow("blanks") << "   ";
    QTest::newRow("broken host") << "http://[::1";
    QTest::newRow("bad port") << "http://example.org:99999999/";
}

void TestServices::shellDropsUnopenableTargets()
{
    QFETCH(QString, target);
    // Nothing reaches the desktop and nothing is reported, not even by Qt.
    QTest::failOnWarning(QRegularExpression(".*"));
    UrlRecorder recorder;
    for (const char *scheme : {"http", "https", "file", ""})
        QDesktopServices::setUrlHandler(scheme, &recorder, "open");
    DesktopShell(1000).open(target);
    for (const char *scheme : {"http", "https", "file", ""})
        QDesktopServices::unsetUrlHandler(scheme);
    QVERIFY2(recorder.urls.isEmpty(), qPrintable(recorder.urls.value(0).toString()));
}

// In the child, stdout is the pipe back to the test. "S" comes from the
// shutdown action, "P" from a stdio buffer that only a flush empties, "A"
// from an atexit routine that must never run.
// A byte that does not arrive is what the parent checks for; the child has
// no one else to tell.
static void tellParent(char mark)
{
    [[maybe_unused]] const ssize_t written = ::write(STDOUT_FILENO, &mark, 1);
}

static void childEndingNow()
{
    std::atexit([] { tellParent('A'); });
    std::printf("P");
    ProcessControl process;
    process.setShutdownAction([] { tellParent('S'); });
    process.endNow();
}

void TestServices::endNowRunsOnlyTheShutdownAction()
{
    int fds[2];
    QVERIFY(::pipe(fds) == 0);
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    QVERIFY(pid >= 0);
    if (pid == 0) {
        ::dup2(fds[1], STDOUT_FILENO);
        ::close(fds[0]);
        childEndingNow();
        ::_exit(99); // endNow returned: the parent sees the wrong status
    }
    ::close(fds[1]);
    QByteArray output;
    char buffer[16];
    ssize_t n;
    while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0)
        output.append(buffer, n);
    ::close(fds[0]);
    int status = 0;
    QCOMPARE(::waitpid(pid, &status, 0), pid);
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), 0);
    QCOMPARE(output, QByteArray("SP"));
}

void TestServices::windowSystemLeftToTheUserOrXwayland_data()
{
    QTest::addColumn<QStringList>("set");
    QTest::addColumn<QByteArray>("asked");
    QTest::newRow("Wayland with Xwayland") << QStringList{"WAYLAND_DISPLAY=wayland-0", "DISPLAY=:0"} << QByteArray("xcb");
    QTest::newRow("Wayland alone") << QStringList{"WAYLAND_DISPLAY=wayland-0"} << QByteArray();
    QTest::newRow("X11 alone") << QStringList{"DISPLAY=:0"} << QByteArray();
    QTest::newRow("the user's choice, even Wayland")
        << QStringList{"WAYLAND_DISPLAY=wayland-0", "DISPLAY=:0", "QT_QPA_PLATFORM=wayland"} << QByteArray();
    QTest::newRow("an empty variable is none") << QStringList{"WAYLAND_DISPLAY=", "DISPLAY=:0"} << QByteArray();
    QTest::newRow("no display at all") << QStringList{} << QByteArray();
}

void TestServices::windowSystemLeftToTheUserOrXwayland()
{
    QFETCH(QStringList, set);
    QFETCH(QByteArray, asked);
    QProcessEnvironment environment;
    for (const QString &variable : set)
        environment.insert(variable.section(QLatin1Char('='), 0, 0), variable.section(QLatin1Char('='), 1));
    QCOMPARE(windowSystemFor(environment), asked);
}

QTEST_MAIN(TestServices)
#include "tst_services.moc"
