#include "RealtimeKitClient.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QMetaObject>
#include <QVariant>

namespace {

const QString kService = QStringLiteral("org.freedesktop.RealtimeKit1");
const QString kPath = QStringLiteral("/org/freedesktop/RealtimeKit1");
const QString kInterface = QStringLiteral("org.freedesktop.RealtimeKit1");

RealtimeKitAnswer answerTo(const QDBusMessage &reply, int timeoutMs)
{
    RealtimeKitAnswer answer;
    if (reply.type() == QDBusMessage::ReplyMessage) {
        answer.granted = true;
        return answer;
    }
    const QDBusError error(reply);
    // Qt has no type of its own for NameHasNoOwner, which some buses send instead.
    const bool unowned = error.name() == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner");
    switch (unowned ? QDBusError::ServiceUnknown : error.type()) {
    case QDBusError::ServiceUnknown:
        answer.missing = true;
        answer.why = QStringLiteral("RealtimeKit is not running");
        break;
    case QDBusError::Disconnected:
    case QDBusError::NoServer:
        answer.missing = true;
        answer.why = QStringLiteral("no D-Bus system bus for RealtimeKit: %1").arg(error.message());
        break;
    case QDBusError::NoReply:
    case QDBusError::Timeout:
    case QDBusError::TimedOut:
        answer.why = QStringLiteral("RealtimeKit did not answer within %1 ms").arg(timeoutMs);
        break;
    default:
        answer.why = QStringLiteral("RealtimeKit refused it: %1").arg(error.message());
        break;
    }
    return answer;
}

// Reached from the bus thread only: the connection is made there, once. A
// machine without a system bus answers every request with that.
QDBusMessage call(const QDBusMessage &request, int timeoutMs)
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return request.createErrorReply(QDBusError::Disconnected, bus.lastError().message());
    return bus.call(request, QDBus::Block, timeoutMs);
}

// Properties.Get answers with a variant; RealtimeKit's holds an int32.
RealtimeKitAnswer niceLevelFrom(const QDBusMessage &reply, int timeoutMs)
{
    RealtimeKitAnswer answer = answerTo(reply, timeoutMs);
    if (!answer.granted)
        return answer;
    const QVariant value = reply.arguments().value(0).value<QDBusVariant>().variant();
    if (value.metaType() != QMetaType::fromType<int>()) {
        answer.granted = false;
        answer.why = QStringLiteral("RealtimeKit's MinNiceLevel is no int32 but \"%1\"").arg(value.typeName());
        return answer;
    }
    answer.value = value.toInt();
    return answer;
}

} // namespace

RealtimeKitClient::RealtimeKitClient(int timeoutMs) : m_timeoutMs(timeoutMs)
{
    m_thread.setObjectName(QStringLiteral("RealtimeKit"));
    m_caller.moveToThread(&m_thread);
}

// A call under way ends within its timeout; the replies still queued for
// this object are dropped with it.
RealtimeKitClient::~RealtimeKitClient()
{
    m_thread.quit();
    m_thread.wait();
}

void RealtimeKitClient::onBusThread(std::function<RealtimeKitAnswer()> work, Reply reply)
{
    if (!m_thread.isRunning())
        m_thread.start();
    QMetaObject::invokeMethod(
        &m_caller,
        [this, work = std::move(work), reply = std::move(reply)] {
            const RealtimeKitAnswer answer = work();
            QMetaObject::invokeMethod(this, [reply, answer] { reply(answer); }, Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

// RealtimeKit implements Properties.Get, and only that, for its properties.
void RealtimeKitClient::readMinNiceLevel(Reply reply)
{
    const int timeoutMs = m_timeoutMs;
    onBusThread(
        [timeoutMs] {
            QDBusMessage request = QDBusMessage::createMethodCall(
                kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
            request << kInterface << QStringLiteral("MinNiceLevel");
            return niceLevelFrom(call(request, timeoutMs), timeoutMs);
        },
        std::move(reply));
}

void RealtimeKitClient::makeThreadHighPriority(quint64 thread, qint32 nice, Reply reply)
{
    const int timeoutMs = m_timeoutMs;
    onBusThread(
        [timeoutMs, thread, nice] {
            QDBusMessage request =
                QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("MakeThreadHighPriority"));
            // Signature "ti": a kernel thread id as uint64, the nice level as int32.
            request << QVariant::fromValue(thread) << QVariant::fromValue(nice);
            return answerTo(call(request, timeoutMs), timeoutMs);
        },
        std::move(reply));
}
