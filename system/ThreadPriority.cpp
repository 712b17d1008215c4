#include "ThreadPriority.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <utility>

namespace {

// The kernel takes one change of a group's level per 100 ms, from any
// process, unless the one asking has CAP_SYS_ADMIN.
constexpr int kGroupRetryMs = 110;

} // namespace

ThreadPriority::ThreadPriority(ISchedulingCalls &calls, IRealtimeKit &kit, int answerBoundMs,
                               std::function<void(const QString &)> tell)
    : m_calls(calls), m_kit(kit), m_tell(std::move(tell)), m_boundMs(answerBoundMs)
{
    m_deadline.setSingleShot(true);
    // The question is closed: an answer after this is late.
    QObject::connect(&m_deadline, &QTimer::timeout, [this] {
        ++m_request;
        giveUp(QStringLiteral("RealtimeKit did not answer within %1 ms").arg(m_boundMs), false);
    });
    m_groupRetry.setSingleShot(true);
    m_groupRetry.setInterval(kGroupRetryMs);
    QObject::connect(&m_groupRetry, &QTimer::timeout, [this] { retryGroup(); });
    m_thread = m_calls.currentThread();
    int original = 0;
    m_calls.niceOf(m_thread, original);
    if (!tryDirect(original))
        askRealtimeKit();
}

ThreadPriority::~ThreadPriority()
{
    settleBeforeExit();
}

void ThreadPriority::toStandardError(const QString &line)
{
    std::fprintf(stderr, "quarnet: %s\n", qPrintable(line));
}

// Tried once and put straight back: the answer holds for the process.
bool ThreadPriority::tryDirect(int original)
{
    int error = m_calls.setNice(m_thread, WantedNice);
    if (error == 0) {
        m_calls.setNice(m_thread, original);
        m_way = Way::Direct;
        return true;
    }
    m_directRefusal = QStringLiteral("setpriority to nice %1: %2").arg(WantedNice).arg(std::strerror(error));
    // A group's limit may allow less than asked for, and still some.
    const int lowest = m_calls.lowestNiceAllowed();
    if (lowest > WantedNice && lowest < 0 && lowest < original && m_calls.setNice(m_thread, lowest) == 0) {
        m_calls.setNice(m_thread, original);
        m_level = lowest;
        m_way = Way::Direct;
        return true;
    }
    return false;
}

void ThreadPriority::askRealtimeKit()
{
    const int request = ++m_request;
    m_kit.readMinNiceLevel([this, request](const RealtimeKitAnswer &answer) {
        if (request == m_request)
            takeMinNiceLevel(answer);
    });
    m_deadline.start(m_boundMs);
}

void ThreadPriority::takeMinNiceLevel(const RealtimeKitAnswer &answer)
{
    m_deadline.stop();
    if (!answer.granted) {
        giveUp(answer.why, answer.missing);
        return;
    }
    if (answer.value >= 0) {
        giveUp(QStringLiteral("RealtimeKit hands out no nice level below %1").arg(answer.value), false);
        return;
    }
    m_level = std::max(WantedNice, answer.value);
    m_way = Way::RealtimeKit;
    if (m_wanted)
        sendRequest();
}

void ThreadPriority::raiseForRun()
{
    m_wanted = true;
    m_thread = m_calls.currentThread();
    m_original = 0;
    m_calls.niceOf(m_thread, m_original);
    if (m_original <= m_level)
        return; // already as high as asked for: nothing to give back either
    if (m_way == Way::Direct) {
        m_raised = m_calls.setNice(m_thread, m_level) == 0;
        if (m_raised) {
            m_calls.keepFromChildren(m_thread);
            raiseGroup();
        }
    } else if (m_way == Way::RealtimeKit) {
        sendRequest();
    }
}

void ThreadPriority::restoreAfterRun()
{
    m_wanted = false;
    if (std::exchange(m_raised, false))
        m_calls.setNice(m_thread, m_original);
    if (m_groupRaised)
        restoreGroup();
    else
        m_groupRetry.stop();
}

// A group still raised from a run whose end the kernel refused to undo yet
// is simply kept. One already as high as asked for is not ours to touch.
// Only "too soon" is asked again; any other no holds for the process.
void ThreadPriority::raiseGroup()
{
    m_groupRetry.stop();
    if (m_groupRaised || m_groupRefused)
        return;
    int level = 0;
    if (m_calls.autogroupNice(level) != 0 || level <= m_level)
        return;
    const int error = m_calls.setAutogroupNice(m_level);
    if (error == 0) {
        m_groupRaised = true;
        m_groupOriginal = level;
    } else if (error == EAGAIN) {
        m_groupRetry.start();
    } else {
        m_groupRefused = true;
    }
}

// Giving back needs no permission, only the kernel's 100 ms; any other
// refusal would come again, and the group is left as the kernel keeps it.
void ThreadPriority::restoreGroup()
{
    const int error = m_calls.setAutogroupNice(m_groupOriginal);
    if (error == EAGAIN)
        m_groupRetry.start();
    else
        m_groupRaised = false;
}

void ThreadPriority::retryGroup()
{
    if (m_wanted && m_raised)
        raiseGroup();
    else if (!m_wanted && m_groupRaised)
        restoreGroup();
}

void ThreadPriority::settleBeforeExit()
{
    m_groupRetry.stop();
    constexpr int kPauseUs = 25'000;
    for (int tries = 0; m_groupRaised && tries < 8; ++tries) {
        if (tries > 0)
            ::usleep(kPauseUs);
        if (m_calls.setAutogroupNice(m_groupOriginal) != EAGAIN)
            m_groupRaised = false;
    }
}

void ThreadPriority::sendRequest()
{
    const int request = ++m_request;
    m_kit.makeThreadHighPriority(static_cast<quint64>(m_thread), m_level,
                                 [this, request](const RealtimeKitAnswer &answer) { takeGrant(request, answer); });
    m_deadline.start(m_boundMs);
}

// A grant, however late, has already changed the thread: kept while a run
// is on, undone otherwise (raising the nice level needs no permission).
// RealtimeKit keeps it from children itself (SCHED_RESET_ON_FORK).
void ThreadPriority::takeGrant(int request, const RealtimeKitAnswer &answer)
{
    if (request == m_request)
        m_deadline.stop();
    if (answer.granted) {
        m_kitGrantedOnce = true;
        if (m_wanted)
            m_raised = true;
        else
            m_calls.setNice(m_thread, m_original);
    } else if (request == m_request) {
        giveUp(answer.why, answer.missing);
    }
}

// Once RealtimeKit has granted it, a no is about that run only (it limits
// how often one user may ask); before that, it is the answer.
void ThreadPriority::giveUp(const QString &why, bool missing)
{
    if (m_kitGrantedOnce)
        return;
    m_way = Way::None;
    if (std::exchange(m_told, true))
        return;
    // The least that works: RealtimeKit raises the one thread that asks, for
    // as long as it asks; a limits line lets one user, not a whole group,
    // raise any process of theirs.
    const QString line = QStringLiteral("\"%1 - nice %2\"").arg(m_calls.userName()).arg(WantedNice);
    m_tell(QStringLiteral("the motor runs at normal priority, so a busy machine slows it down (%1; %2). "
                          "%3An administrator can grant it to this user alone with the line %4 in "
                          "/etc/security/limits.d/quarnet.conf (from the next login on).")
               .arg(m_directRefusal, why,
                    missing ? QStringLiteral("Installing RealtimeKit (package rtkit) grants it to the stepping "
                                             "thread alone. ")
                            : QString(),
                    line));
}

