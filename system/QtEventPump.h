#pragma once

#include "IEventPump.h"

class QAbstractEventDispatcher;

// The run loop's yield to the window system, once per motor step. The
// dispatcher is looked up once, here, so a step costs only the event pass
// itself. Create it on the user-interface thread after the application.
class QtEventPump final : public IEventPump
{
public:
    QtEventPump();

    // Every pending event, socket notifiers included, runs once; returns at
    // once when nothing is pending, never waits for more.
    void processPendingEvents() override;

private:
    QAbstractEventDispatcher *m_dispatcher;
};
