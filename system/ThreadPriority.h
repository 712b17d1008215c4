#pragma once

#include "IRealtimeKit.h"
#include "IRunPriority.h"
#include "ISchedulingCalls.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>

// Raises the calling thread to nice -15 while the motor runs and puts it
// back afterwards. A busy wait loses to every other busy process on a
// shared processor; at nice -15 it gets nearly a whole one. Never a
// real-time class: the kernel's real-time throttle stops such a thread for
// some 50 ms a second, which a motor feels as a stall.
//
// Ways, in order, found out when this is made (so before the first run):
// setpriority on the thread (CAP_SYS_NICE, or an RLIMIT_NICE that allows
// it), else RealtimeKit within its MinNiceLevel, else nothing. A way that
// says no is not asked again; the first no that leaves nothing is said once,
// with what would grant it. Nothing here waits for RealtimeKit: its grant
// arrives during the run, and an answer that does not come within
// `answerBoundMs` counts as a no.
//
// With autogroups on (Debian's default), the kernel first shares a
// processor between sessions and only then between the threads of each, so
// a thread's level counts only against its own session: a build started in
// another terminal takes half the processor whatever it is. Where this
// process may set levels itself, its session's group is raised to the same
// level for the run as well, and given back after it.
class ThreadPriority final : public IRunPriority
{
public:
    static constexpr int WantedNice = -15;

    enum class Way { Asking, Direct, RealtimeKit, None };

    ThreadPriority(ISchedulingCalls &calls, IRealtimeKit &kit, int answerBoundMs,
                   std::function<void(const QString &)> tell = toStandardError);
    ~ThreadPriority();

    // On the thread that steps, at the start and the end of a run.
    void raiseForRun() override;
    void restoreAfterRun() override;

    Way way() const { return m_way; }
    int level() const { return m_level; }
    // True while this thread runs at the raised level.
    bool isRaised() const { return m_raised; }
    // True while the session's group is at the raised level.
    bool isGroupRaised() const { return m_groupRaised; }

    // The session outlives the process: a group still raised because the
    // kernel refused a change so soon after another is given back now,
    // waiting out that refusal (at most a fifth of a second).
    void settleBeforeExit();

    static void toStandardError(const QString &line);

private:
    bool tryDirect(int original);
    void askRealtimeKit();
    void takeMinNiceLevel(const RealtimeKitAnswer &answer);
    void sendRequest();
    void takeGrant(int request, const RealtimeKitAnswer &answer);
    void giveUp(const QString &why, bool missing);
    void raiseGroup();
    void restoreGroup();
    void retryGroup();

    ISchedulingCalls &m_calls;
    IRealtimeKit &m_kit;
    std::function<void(const QString &)> m_tell;
    int m_boundMs;
    QTimer m_deadline;
    QTimer m_groupRetry;

    Way m_way = Way::Asking;
    int m_level = WantedNice;
    QString m_directRefusal;
    bool m_kitGrantedOnce = false;
    bool m_told = false;
    int m_request = 0;      // the answer awaited; older ones are late
    bool m_wanted = false;  // a run is on
    bool m_raised = false;  // and this thread is at m_level
    long m_thread = 0;
    int m_original = 0;     // the level a run gives back
    bool m_groupRaised = false;
    bool m_groupRefused = false; // for good: not asked again
    int m_groupOriginal = 0;
};
