#pragma once

#include <QString>
#include <QtGlobal>
#include <functional>

// RealtimeKit's answer to one request: granted (with a value where the
// request reads one), or why not. `missing` tells a service that is not
// there from one that is and said no or nothing.
struct RealtimeKitAnswer
{
    bool granted = false;
    int value = 0;
    bool missing = false;
    QString why;
};

// The two requests the priority service makes of RealtimeKit, the service
// desktops run to let ordinary users raise a thread's priority (for audio).
// Both return at once; the reply comes later, on the thread that asked,
// through the event loop, or never.
class IRealtimeKit
{
public:
    using Reply = std::function<void(const RealtimeKitAnswer &)>;

    virtual ~IRealtimeKit() = default;
    // Its MinNiceLevel property: the lowest nice level it hands out.
    virtual void readMinNiceLevel(Reply reply) = 0;
    // MakeThreadHighPriority: sets the thread (of this process) to that nice level.
    virtual void makeThreadHighPriority(quint64 thread, qint32 nice, Reply reply) = 0;
};
