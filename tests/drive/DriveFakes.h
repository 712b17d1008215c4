#pragma once

#include "MotorDrive.h"
#include "RecordingPort.h"
#include "ScriptedPump.h"

#include <QString>
#include <QVector>

class FakeButtons : public IRunButtons
{
public:
    bool isStopEnabled() const override { return stop; }
    void setStartEnabled(bool enabled) override { start = enabled; }
    void setStopEnabled(bool enabled) override { stop = enabled; }
    bool start = true;
    bool stop = true;
};

class FakeDisplay : public ISpeedDisplay
{
public:
    void setStepText(const QString &t) override { text = t; }
    void setGaugeY(float y) override { gaugeY = y; }
    QString text = QStringLiteral("untouched");
    float gaugeY = -12345.0f;
};

struct ProcessEnded
{
};

class ThrowingProcess : public IProcessControl
{
public:
    [[noreturn]] void endNow() override { throw ProcessEnded{}; }
};

// Records each wait's size instead of spending it.
inline QVector<double> g_waits;
inline void recordWait(double n) { g_waits.append(n); }

// A drive as the main window has it just after loading (InitDrive done, its
// write cleared from the record), or as the process starts.
struct DriveRig
{
    DriveState state;
    ModeFlags modes;
    RecordingPort port;
    ScriptedPump pump;
    FakeButtons buttons;
    FakeDisplay display;
    ThrowingProcess process;
    MotorDrive drive{state, modes, port, pump, buttons, display, process, recordWait};

    explicit DriveRig(bool loaded = true)
    {
        g_waits.clear();
        if (!loaded)
            return;
        drive.InitDrive(QStringLiteral("&H378"));
        port.writes.clear();
        state.LoopsPerSec = 1000.0;
    }
    void stopAtPass(int pass) { pump.script[pass] = [this] { drive.StopMotor(); }; }
};
