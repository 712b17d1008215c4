#include "MotorDrive.h"

#include "AddressText.h"
#include "StepPacer.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace {

// One row per phase: OutBit[0..3] in each mode. The lines take their turn in
// the order 0, 2, 1, 3; each "Half" row is its own "Full" row plus the next.
struct PhaseRow
{
    std::int16_t full[4];
    std::int16_t half[4];
};

static constexpr PhaseRow kPhases[4] = {
    {{1, 0, 0, 0}, {1, 0, 1, 0}},
    {{0, 0, 1, 0}, {0, 1, 1, 0}},
    {{0, 1, 0, 0}, {0, 1, 0, 1}},
    {{0, 0, 0, 1}, {1, 0, 0, 1}},
};

constexpr std::int16_t kTrue = -1;
constexpr std::int16_t kFalse = 0;

constexpr int kMinStepSec = 1;
constexpr int kMaxStepSec = 32767;

// The gauge scale: 0 steps/s sits at 4970, 500 steps/s at 60.
constexpr double kGaugeZeroY = 4970.0;
constexpr double kGaugeUnitsPerStep = 9.82;

void switchPhaseLinesOff(DriveState &state)
{
    std::fill(state.OutBit, state.OutBit + 4, std::int16_t{0});
}

} // namespace

MotorDrive::MotorDrive(DriveState &state, ModeFlags &modes, IPort &port, IEventPump &pump,
                       IRunButtons &buttons, ISpeedDisplay &display, IProcessControl &process,
                       IMonotonicClock &clock, IBusyWait &wait, IRunPriority &priority)
    : m_state(state), m_modes(modes), m_port(port), m_pump(pump), m_buttons(buttons),
      m_display(display), m_process(process), m_clock(clock), m_wait(wait), m_priority(priority)
{
}

IRunPriority &unchangedPriority()
{
    class Unchanged final : public IRunPriority
    {
    public:
        void raiseForRun() override {}
        void restoreAfterRun() override {}
    };
    static Unchanged unchanged;
    return unchanged;
}

// The outermost run raises the priority and gives it back when it returns;
// runs nested inside its event pass only count. An end of the process
// (CloseProgram) gives it back first, so a hold unwound after it does not.
class MotorDrive::RunHold
{
public:
    explicit RunHold(MotorDrive &drive) : m_drive(drive)
    {
        if (m_drive.m_runDepth++ == 0) {
            m_drive.m_priorityRaised = true;
            m_drive.m_priority.raiseForRun();
        }
    }
    ~RunHold()
    {
        if (--m_drive.m_runDepth == 0)
            m_drive.releasePriority();
    }
    RunHold(const RunHold &) = delete;
    RunHold &operator=(const RunHold &) = delete;

private:
    MotorDrive &m_drive;
};

void MotorDrive::releasePriority()
{
    if (std::exchange(m_priorityRaised, false))
        m_priority.restoreAfterRun();
}

void MotorDrive::InitDrive(const QString &addressBoxText)
{
    m_state.OutBit[6] = 1;
    m_modes.FullStep = kTrue;
    m_modes.HalfStep = kFalse;
    m_state.PortAddress = addressBoxText;
    switchPhaseLinesOff(m_state);
    SendPort();
    m_state.StepSec = 1;
}

void MotorDrive::SetPortAddress(const QString &text)
{
    m_state.PortAddress = text;
}

// Text that names no port (an empty box, a bare "&H", a word) writes nowhere:
// the byte is still assembled, so the next good address gets the current one.
void MotorDrive::SendPort()
{
    int value = 0;
    for (int n = 7; n >= 0; --n)
        value |= m_state.OutBit[n] << n;
    m_state.PortByte = static_cast<std::int16_t>(value);
    if (const auto port = PortFromAddressText(m_state.PortAddress)) {
        m_port.Out32(*port, m_state.PortByte);
        m_energized.note(*port, (m_state.PortByte & 0x0F) != 0);
    }
}

// Called once the phase lines are off and written to the current address:
// any other port this program left a winding on at gets the same byte.
void MotorDrive::switchOffStrayPorts()
{
    m_energized.switchOff([this](std::int16_t port) { m_port.Out32(port, m_state.PortByte); });
}

// Re-entrant by design: the event pass may stop this run and start a new one
// inside it. The nested run then owns the motor; when it stops, this one finds
// "Stop" disabled too and ends as well, switching the lines off once more.
// Each run keeps its own schedule on its own stack, so a nested run neither
// shares nor disturbs the outer one's.
void MotorDrive::RunMotor()
{
    const RunHold hold(*this);
    m_buttons.setStartEnabled(false);
    m_buttons.setStopEnabled(true);
    StepPacer pacer(m_clock, m_wait, m_state.LoopsPerSec);
    m_state.StepsAtRunStart = m_state.StepsMade;
    for (;;) {
        m_pump.processPendingEvents();
        if (!m_buttons.isStopEnabled())
            break;
        // StepSec is 1 or more once InitDrive has run; a run before that
        // must not wait for ever.
        pacer.waitForStep(std::max<int>(m_state.StepSec, kMinStepSec));
        ++m_state.StepPhase;
        setPhaseLines(m_state.StepPhase);
        SendPort();
        ++m_state.StepsMade;
        pacer.stepMade();
        if (m_state.StepPhase == 3)
            m_state.StepPhase = -1;
    }
    switchPhaseLinesOff(m_state);
    SendPort();
    switchOffStrayPorts();
}

// "Half" first, then "Full": with exactly one flag true, one pattern wins.
void MotorDrive::setPhaseLines(int phase)
{
    const PhaseRow &row = kPhases[phase & 3];
    if (m_modes.HalfStep)
        std::copy(row.half, row.half + 4, m_state.OutBit);
    if (m_modes.FullStep)
        std::copy(row.full, row.full + 4, m_state.OutBit);
}

void MotorDrive::StopMotor()
{
    m_buttons.setStopEnabled(false);
    m_buttons.setStartEnabled(true);
}

void MotorDrive::CloseProgram()
{
    switchOff();
    m_process.endNow();
    std::abort(); // a process control that returns has broken its contract
}

// A process may sit stopped for days: the run's priority is given back
// meanwhile, or its whole session would run raised, and taken again once
// it is continued. The next step sets the phase lines afresh, so nothing
// else needs putting back.
void MotorDrive::stopProcess()
{
    switchPhaseLinesOff(m_state);
    SendPort();
    switchOffStrayPorts();
    const bool raised = m_priorityRaised;
    releasePriority();
    m_process.stopUntilContinued();
    if (raised && m_runDepth > 0) {
        m_priorityRaised = true;
        m_priority.raiseForRun();
    }
}

void MotorDrive::switchOff()
{
    switchPhaseLinesOff(m_state);
    SendPort();
    switchOffStrayPorts();
    releasePriority();
}

void MotorDrive::SelectMode(int index)
{
    if (index == 0) {
        m_modes.HalfStep = kTrue;
        m_modes.FullStep = kFalse;
    } else if (index == 1) {
        m_modes.FullStep = kTrue;
        m_modes.HalfStep = kFalse;
    }
}

// Raises stop at 32767 rather than wrapping: a wrapped StepSec would turn
// the motor at a negative speed and divide the wait by it.
void MotorDrive::StepSpeed(int index)
{
    static constexpr int kChange[4] = {+10, +1, -1, -10};
    if (index >= 0 && index < 4) {
        const int wanted = m_state.StepSec + kChange[index];
        m_state.StepSec = static_cast<std::int16_t>(std::clamp(wanted, kMinStepSec, kMaxStepSec));
    }
    ShowSpeed();
}

void MotorDrive::ShowSpeed()
{
    m_display.setStepText(QString::number(int{m_state.StepSec}));
    const float y = static_cast<float>(kGaugeZeroY - m_state.StepSec * kGaugeUnitsPerStep);
    m_display.setGaugeY(y);
}
