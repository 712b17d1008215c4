#pragma once

#include "FakeProcess.h"
#include "MotorDrive.h"
#include "RecordingPort.h"
#include "ScriptedPump.h"

#include <QString>
#include <QVector>
#include <cmath>
#include <functional>
#include <map>

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

// Notes each call with how many port writes had been made by then, so a
// test sees where in the run's writes the priority changed.
class RecordingPriority : public IRunPriority
{
public:
    explicit RecordingPriority(const RecordingPort &port) : m_port(port) {}
    void raiseForRun() override
    {
        calls.append({true, m_port.writes.size()});
        raised = true;
    }
    void restoreAfterRun() override
    {
        calls.append({false, m_port.writes.size()});
        raised = false;
    }
    struct Call
    {
        bool raise;
        qsizetype afterWrites;
        bool operator==(const Call &) const = default;
    };
    QVector<Call> calls;
    bool raised = false;

private:
    const RecordingPort &m_port;
};

// The machine in virtual time: the loop spends it at the machine's own
// speed, each clock reading costs a little of it, and the clock shows it
// unless frozen. No real time passes, so every timing is exact, and a wait
// that would never end fails the test instead of hanging it.
struct MachineHung
{
};

class VirtualMachine : public IMonotonicClock, public IBusyWait
{
public:
    static constexpr double StartNs = 1e12;

    std::int64_t nanoseconds() override
    {
        if (++reads > kReadLimit)
            throw MachineHung{};
        nowNs += readCostNs;
        return frozen ? frozenAtNs : static_cast<std::int64_t>(nowNs + shownOffsetNs);
    }
    void spin(double n) override
    {
        if (n >= 1.0)
            nowNs += std::floor(n) / loopsPerNs;
    }
    void freeze()
    {
        frozenAtNs = static_cast<std::int64_t>(nowNs + shownOffsetNs);
        frozen = true;
    }

    double nowNs = StartNs;
    double loopsPerNs = 3.0; // 3e9 iterations per second
    double readCostNs = 20.0;
    double shownOffsetNs = 0; // what the clock shows minus the machine's time
    bool frozen = false;
    std::int64_t frozenAtNs = 0;
    long long reads = 0;

private:
    static constexpr long long kReadLimit = 50'000'000;
};


// Stamps every write with the machine's time.
class TimedPort : public RecordingPort
{
public:
    explicit TimedPort(const VirtualMachine &machine) : m_machine(machine) {}
    void Out32(std::int16_t port, std::int16_t value) override
    {
        RecordingPort::Out32(port, value);
        times.append(m_machine.nowNs);
    }
    QVector<double> times;

private:
    const VirtualMachine &m_machine;
};

// A drive as the main window has it just after loading (InitDrive done, its
// write cleared from the record), or as the process starts. Its start-up
// figure matches the machine's loop.
struct DriveRig
{
    VirtualMachine machine;
    DriveState state;
    ModeFlags modes;
    TimedPort port{machine};
    ScriptedPump pump;
    FakeButtons buttons;
    FakeDisplay display;
    FakeProcess process;
    RecordingPriority priority{port};
    MotorDrive drive{state, modes, port, pump, buttons, display, process, machine, machine, priority};

    explicit DriveRig(bool loaded = true)
    {
        if (!loaded)
            return;
        drive.InitDrive(QStringLiteral("&H378"));
        port.writes.clear();
        port.times.clear();
        state.LoopsPerSec = machine.loopsPerNs * 1e9;
    }
    void stopAtPass(int pass) { pump.script[pass] = [this] { drive.StopMotor(); }; }
};
