#include "RealtimeKitClient.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <optional>
#include <unistd.h>

namespace {

const QString kService = QStringLiteral("org.freedesktop.RealtimeKit1");
const QString kPath = QStringLiteral("/org/freedesktop/RealtimeKit1");
constexpr int TimeoutMs = 300;

// RealtimeKit as its sources define it, on the test's own bus: what it
// reads from each message, and the answer chosen by the test.
class StandInRealtimeKit final : public QDBusVirtualObject
{
public:
    enum class Mode { Grant, Refuse, Silent };

    struct Seen
    {
        QString interface, member, signature;
        QVariantList arguments;
        uint senderPid = 0;
    };

    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        seen.append({message.interface(), message.member(), message.signature(), message.arguments(),
                     connection.interface()->servicePid(message.service()).value()});
        if (mode == Mode::Silent)
            return true;
        if (mode == Mode::Refuse) {
            connection.send(message.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.AccessDenied"),
                                                     QStringLiteral("Operation not permitted")));
        } else if (message.member() == QLatin1String("Get")) {
            connection.send(message.createReply(QVariant::fromValue(QDBusVariant(qint32{-11}))));
        } else {
            connection.send(message.createReply());
        }
        return true;
    }
    QString introspect(const QString &) const override { return {}; }

    Mode mode = Mode::Grant;
    QVector<Seen> seen;
};

struct Answers
{
    QVector<RealtimeKitAnswer> got;
    IRealtimeKit::Reply reply()
    {
        return [this](const RealtimeKitAnswer &a) { got.append(a); };
    }
};

} // namespace

// The client against a stand-in RealtimeKit on a private bus (Debian's
// dbus-daemon, started here), reached as the system bus.
class TestRealtimeKitClient : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void messageGoesOutAsRealtimeKitReadsIt();
    void minNiceLevelReadThroughPropertiesGet();
    void refusalSaysWhy();
    void silenceIsAnsweredAfterTheTimeoutWithoutBlocking();
    void missingServiceIsToldApart();

private:
    QProcess m_daemon;
    std::optional<QDBusConnection> m_bus;
    StandInRealtimeKit m_standIn;
};

void TestRealtimeKitClient::initTestCase()
{
    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (daemon.isEmpty())
        QSKIP("needs dbus-daemon (Debian package dbus-daemon)");
    m_daemon.start(daemon, {"--session", "--nofork", "--nopidfile", "--print-address"});
    QVERIFY(m_daemon.waitForStarted());
    QVERIFY(m_daemon.waitForReadyRead(5000));
    const QString address = QString::fromLatin1(m_daemon.readLine()).trimmed();
    QVERIFY(!address.isEmpty());
    // Read by libdbus when the client first asks for the system bus.
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", address.toLatin1());
    m_bus = QDBusConnection::connectToBus(address, QStringLiteral("stand-in"));
    QVERIFY(m_bus->isConnected());
    QVERIFY(m_bus->registerVirtualObject(kPath, &m_standIn));
}

void TestRealtimeKitClient::cleanupTestCase()
{
    if (m_bus) {
        m_bus->unregisterObject(kPath);
        QDBusConnection::disconnectFromBus(QStringLiteral("stand-in"));
    }
    m_daemon.kill();
    m_daemon.waitForFinished();
}

void TestRealtimeKitClient::init()
{
    QVERIFY(m_bus->registerService(kService));
    m_standIn.mode = StandInRealtimeKit::Mode::Grant;
    m_standIn.seen.clear();
}

// RealtimeKit takes the caller's process from its bus connection and
// looks the thread up under it: a kernel thread id of this very process.
void TestRealtimeKitClient::messageGoesOutAsRealtimeKitReadsIt()
{
    RealtimeKitClient client(TimeoutMs);
    Answers answers;
    const quint64 thread = static_cast<quint64>(::gettid());
    client.makeThreadHighPriority(thread, -15, answers.reply());
    QTRY_COMPARE(answers.got.size(), 1);

    QVERIFY(answers.got[0].granted);
    QCOMPARE(m_standIn.seen.size(), 1);
    const StandInRealtimeKit::Seen &seen = m_standIn.seen[0];
    QCOMPARE(seen.interface, QStringLiteral("org.freedesktop.RealtimeKit1"));
    QCOMPARE(seen.member, QStringLiteral("MakeThreadHighPriority"));
    QCOMPARE(seen.signature, QStringLiteral("ti"));
    QCOMPARE(seen.arguments.value(0).toULongLong(), thread);
    QCOMPARE(seen.arguments.value(1).toInt(), -15);
    QCOMPARE(seen.senderPid, static_cast<uint>(::getpid()));
    QVERIFY(QFileInfo::exists(QStringLiteral("/proc/%1/task/%2").arg(seen.senderPid).arg(thread)));
}

void TestRealtimeKitClient::minNiceLevelReadThroughPropertiesGet()
{
    RealtimeKitClient client(TimeoutMs);
    Answers answers;
    client.readMinNiceLevel(answers.reply());
    QTRY_COMPARE(answers.got.size(), 1);

    QVERIFY(answers.got[0].granted);
    QCOMPARE(answers.got[0].value, -11);
    const StandInRealtimeKit::Seen &seen = m_standIn.seen.value(0);
    QCOMPARE(seen.interface, QStringLiteral("org.freedesktop.DBus.Properties"));
    QCOMPARE(seen.member, QStringLiteral("Get"));
    QCOMPARE(seen.signature, QStringLiteral("ss"));
    QCOMPARE(seen.arguments, (QVariantList{"org.freedesktop.RealtimeKit1", "MinNiceLevel"}));
}

void TestRealtimeKitClient::refusalSaysWhy()
{
    m_standIn.mode = StandInRealtimeKit::Mode::Refuse;
    RealtimeKitClient client(TimeoutMs);
    Answers answers;
    client.makeThreadHighPriority(static_cast<quint64>(::gettid()), -15, answers.reply());
    QTRY_COMPARE(answers.got.size(), 1);

    QVERIFY(!answers.got[0].granted);
    QVERIFY(!answers.got[0].missing);
    QCOMPARE(answers.got[0].why, QStringLiteral("RealtimeKit refused it: Operation not permitted"));
}

void TestRealtimeKitClient::silenceIsAnsweredAfterTheTimeoutWithoutBlocking()
{
    m_standIn.mode = StandInRealtimeKit::Mode::Silent;
    RealtimeKitClient client(TimeoutMs);
    Answers answers;
    QElapsedTimer timer;
    timer.start();
    client.makeThreadHighPriority(static_cast<quint64>(::gettid()), -15, answers.reply());
    QVERIFY2(timer.elapsed() < 50, "the request must not wait for the bus");
    QTRY_COMPARE_WITH_TIMEOUT(answers.got.size(), 1, 5000);

    QVERIFY(timer.elapsed() >= TimeoutMs);
    QVERIFY(!answers.got[0].granted);
    QCOMPARE(answers.got[0].why, QStringLiteral("RealtimeKit did not answer within 300 ms"));
}

void TestRealtimeKitClient::missingServiceIsToldApart()
{
    QVERIFY(m_bus->unregisterService(kService));
    RealtimeKitClient client(TimeoutMs);
    Answers answers;
    client.readMinNiceLevel(answers.reply());
    QTRY_COMPARE(answers.got.size(), 1);

    QVERIFY(!answers.got[0].granted);
    QVERIFY(answers.got[0].missing);
    QCOMPARE(answers.got[0].why, QStringLiteral("RealtimeKit is not running"));
    QVERIFY(m_standIn.seen.isEmpty());
}

QTEST_GUILESS_MAIN(TestRealtimeKitClient)
#include "tst_realtimekitclient.moc"
