#include "StartupSequence.h"

#include "DriveState.h"
#include "GeneralNumber.h"
#include "RateBar.h"

StartupSequence::StartupSequence(DriveState &state, Services services, ISplashView &splash,
                                 std::function<void()> showMainWindow)
    : m_state(state)
    , m_services(services)
    , m_splash(splash)
    , m_showMainWindow(std::move(showMainWindow))
{
}

void StartupSequence::tick()
{
    // Marked before anything runs: the event pass below may deliver a
    // second tick, which must find the work already taken.
    if (m_started)
        return;
    m_started = true;

    MeasureLoopRate(m_state, m_services.clock, *m_wait);
    m_splash.setRateText(formatGeneralNumber(m_state.LoopsPerSec, m_locale));
    m_splash.setBarValue(RateBar::valueForRate(m_state.LoopsPerSec));
    m_services.pump.processPendingEvents();
    m_services.sleeper.sleepMs(PauseMs);
    m_splash.closeSplash();
    m_showMainWindow();
    m_splash.stopTimer();
}
