#include "QtEventPump.h"
#include "SignalBridge.h"

#include <QSignalSpy>
#include <QTest>

#include <csignal>

namespace {
volatile std::sig_atomic_t s_previousHandlerRan = 0;
extern "C" void previousHandler(int) { s_previousHandlerRan = 1; }
} // namespace

class tst_SignalBridge : public QObject
{
    Q_OBJECT

private slots:
    void signalReachesTheEventPass_data();
    void signalReachesTheEventPass();
    void secondSignalWhileHandlingIsAbsorbed();
    void onlyOneBridgePerProcess();
    void previousHandlersComeBackAfterTheBridge();
};

void tst_SignalBridge::signalReachesTheEventPass_data()
{
    QTest::addColumn<int>("signo");
    QTest::newRow("SIGINT") << int(SIGINT);
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGHUP") << int(SIGHUP);
}

// The run loop turns the event loop only through its pump, once per step:
// one pass must be enough for the request to arrive.
void tst_SignalBridge::signalReachesTheEventPass()
{
    QFETCH(int, signo);
    SignalBridge bridge;
    QVERIFY2(bridge.isActive(), qPrintable(bridge.errorString()));
    QSignalSpy spy(&bridge, &SignalBridge::terminationRequested);
    QtEventPump pump;

    pump.processPendingEvents();
    QCOMPARE(spy.count(), 0);

    QCOMPARE(std::raise(signo), 0);
    pump.processPendingEvents();
    QCOMPARE(spy.count(), 1);
}

// While the window's close sequence runs, further signals must neither kill
// the process nor start the sequence a second time.
void tst_SignalBridge::secondSignalWhileHandlingIsAbsorbed()
{
    SignalBridge bridge;
    QVERIFY(bridge.isActive());
    QtEventPump pump;
    int handled = 0;
    connect(&bridge, &SignalBridge::terminationRequested, this, [&] {
        ++handled;
        std::raise(SIGTERM);
        std::raise(SIGINT);
        pump.processPendingEvents();
    });

    std::raise(SIGHUP);
    for (int i = 0; i < 3; ++i)
        pump.processPendingEvents();
    QCOMPARE(handled, 1);
}

void tst_SignalBridge::onlyOneBridgePerProcess()
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

void tst_SignalBridge::previousHandlersComeBackAfterTheBridge()
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

QTEST_MAIN(tst_SignalBridge)
#include "tst_signalbridge.moc"
