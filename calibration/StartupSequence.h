#pragma once

#include "IClock.h"
#include "IEventPump.h"
#include "ISleeper.h"
#include "MeasureLoopRate.h"

#include <QLocale>
#include <functional>

struct DriveState;

// What the start-up sequence does to the start-up window.
class ISplashView
{
public:
    virtual ~ISplashView() = default;
    virtual void setRateText(const QString &text) = 0;
    virtual void setBarValue(float value) = 0;
    virtual void closeSplash() = 0;
    virtual void stopTimer() = 0;
};

// The start-up window's one tick: measure, show the figure, pause, and hand
// over to the main window. It runs once per process, even when the event
// pass inside it delivers another tick.
class StartupSequence
{
public:
    struct Services
    {
        IClock &clock;
        IEventPump &pump;
        ISleeper &sleeper;
    };

    StartupSequence(DriveState &state, Services services, ISplashView &splash,
                    std::function<void()> showMainWindow);

    void setLocale(const QLocale &locale) { m_locale = locale; }
    void setBusyWait(IBusyWait &wait) { m_wait = &wait; }

    void tick();

    static constexpr int PauseMs = 2000;

private:
    DriveState &m_state;
    Services m_services;
    ISplashView &m_splash;
    std::function<void()> m_showMainWindow;
    QLocale m_locale;
    IBusyWait *m_wait = &spinLoopWait();
    bool m_started = false;
};
