#pragma once

#include "IRealtimeKit.h"

#include <QObject>
#include <QThread>

// RealtimeKit over the D-Bus system bus (org.freedesktop.RealtimeKit1 at
// /org/freedesktop/RealtimeKit1). Connecting to the bus and each call block,
// so they run on a thread of their own, started with the first request;
// the replies come back to the thread that made the request. A call that
// gets no reply within `timeoutMs` is answered as such.
class RealtimeKitClient final : public QObject, public IRealtimeKit
{
public:
    explicit RealtimeKitClient(int timeoutMs);
    ~RealtimeKitClient() override;

    void readMinNiceLevel(Reply reply) override;
    void makeThreadHighPriority(quint64 thread, qint32 nice, Reply reply) override;

private:
    void onBusThread(std::function<RealtimeKitAnswer()> call, Reply reply);

    int m_timeoutMs;
    QThread m_thread;
    QObject m_caller; // lives on m_thread
};
