#pragma once

#include "IRealtimeKit.h"
#include "ISchedulingCalls.h"

#include <QString>
#include <QStringList>
#include <QVector>
#include <cerrno>
#include <map>

// The kernel as an unprivileged process, root or a limits.d group sees it:
// one nice level per thread, and a floor below which setpriority refuses.
// Every call that changes something is logged as "thread:level"; the
// session's autogroup has a log of its own, its refusals as the kernel's.
class FakeScheduling final : public ISchedulingCalls
{
public:
    long currentThread() override { return thread; }
    int niceOf(long id, int &value) override
    {
        value = nice[id];
        return 0;
    }
    int setNice(long id, int value) override
    {
        log << QStringLiteral("%1:%2").arg(id).arg(value);
        if (value < nice[id] && value < floor)
            return EACCES;
        nice[id] = value;
        return 0;
    }
    int lowestNiceAllowed() override { return limitFloor; }
    int keepFromChildren(long id) override
    {
        keptFromChildren << id;
        return 0;
    }
    QString userName() override { return QStringLiteral("ann"); }
    int autogroupNice(int &value) override
    {
        if (!autogroups)
            return ENOENT;
        value = groupNice;
        return 0;
    }
    int setAutogroupNice(int value) override
    {
        groupLog << QString::number(value);
        if (groupLocked || (value < 0 && value < floor))
            return EPERM;
        if (groupBusy > 0) {
            --groupBusy;
            return EAGAIN;
        }
        groupNice = value;
        return 0;
    }

    long thread = 4242;
    std::map<long, int> nice;
    int floor = 20;       // what setpriority allows below the current level
    int limitFloor = 20;  // what RLIMIT_NICE says it allows
    QStringList log;
    QVector<long> keptFromChildren;
    bool autogroups = true;
    int groupNice = 0;
    int groupBusy = 0; // changes refused with EAGAIN before one is taken
    bool groupLocked = false; // as a security module may have it
    QStringList groupLog;
};

// RealtimeKit as a test answers it: each request waits in `pending` until
// the test answers it, or never is. A grant changes the thread's level, as
// the real service does from its own process.
class FakeRealtimeKit final : public IRealtimeKit
{
public:
    explicit FakeRealtimeKit(FakeScheduling &kernel) : m_kernel(kernel) {}

    struct Request
    {
        QString what; // "MinNiceLevel" or "thread:level"
        quint64 thread = 0;
        qint32 nice = 0;
        Reply reply;
    };

    void readMinNiceLevel(Reply reply) override { pending.append({QStringLiteral("MinNiceLevel"), 0, 0, reply}); }
    void makeThreadHighPriority(quint64 thread, qint32 nice, Reply reply) override
    {
        pending.append({QStringLiteral("%1:%2").arg(thread).arg(nice), thread, nice, reply});
    }

    QStringList asked() const
    {
        QStringList all = answered;
        for (const Request &r : pending)
            all << r.what;
        return all;
    }

    // Answers the oldest request.
    void grant(int value = 0)
    {
        Request r = take();
        if (r.what != QLatin1String("MinNiceLevel"))
            m_kernel.nice[static_cast<long>(r.thread)] = r.nice;
        r.reply({true, value, false, {}});
    }
    void refuse(const QString &why, bool missing = false)
    {
        take().reply({false, 0, missing, why});
    }

    QVector<Request> pending;
    QStringList answered;

private:
    Request take()
    {
        Request r = pending.takeFirst();
        answered << r.what;
        return r;
    }

    FakeScheduling &m_kernel;
};
