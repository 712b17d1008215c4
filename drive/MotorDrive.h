#pragma once

#include "DriveHost.h"
#include "DriveState.h"
#include "Services.h"

// The motor drive's operations, as the main window's handlers call them.
// Everything it touches outside DriveState arrives through interfaces, so the
// run loop can be stepped, stopped and closed from tests.
class MotorDrive
{
public:
    MotorDrive(DriveState &state, ModeFlags &modes, IPort &port, IEventPump &pump,
               IRunButtons &buttons, ISpeedDisplay &display, IProcessControl &process);

    DriveState &state() { return m_state; }
    ModeFlags &modes() { return m_modes; }

    void InitDrive(const QString &addressBoxText);
    void SetPortAddress(const QString &text);
    void SendPort();

    void RunMotor();
    void StopMotor();
    [[noreturn]] void CloseProgram();
    void SelectMode(int index);

    void StepSpeed(int index);
    void ShowSpeed();

private:
    DriveState &m_state;
    ModeFlags &m_modes;
    IPort &m_port;
    IEventPump &m_pump;
    IRunButtons &m_buttons;
    ISpeedDisplay &m_display;
    IProcessControl &m_process;
};
