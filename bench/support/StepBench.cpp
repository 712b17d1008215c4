#include "StepBench.h"

#include "MonitorWindow.h"
#include "MonotonicNs.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

// The longest run (the unpaced one, or 32767 steps/s for a second) fits.
constexpr std::size_t kCapacity = 1u << 21;

// "Chiudi" or the window frame would end the tool here; the benchmark never
// asks for it, so reaching it means something closed the window under us.
class EndingProcess final : public IProcessControl
{
public:
    [[noreturn]] void endNow() override
    {
        std::fflush(stdout);
        std::fputs("step_timing: the main window ended the process\n", stderr);
        _exit(3);
    }
    void stopUntilContinued() override
    {
        std::fflush(stdout);
        std::fputs("step_timing: the main window stopped the process\n", stderr);
        _exit(3);
    }
};

// On a shared machine the scheduler takes whole slices away from a busy
// loop; this says how much of a run the thread really ran.
class CpuShare
{
public:
    double sinceStart() const
    {
        return static_cast<double>(threadCpuNs() - m_cpu) / static_cast<double>(monotonicNs() - m_wall);
    }

private:
    std::uint64_t m_wall = monotonicNs();
    std::uint64_t m_cpu = threadCpuNs();
};

class NoShell final : public IShell
{
public:
    void open(const QString &) override {}
};

} // namespace

StepBench::StepBench(double loopsPerSec, IRunPriority &priority)
    : m_port(kCapacity),
      m_pump(kCapacity),
      m_process(std::make_unique<EndingProcess>()),
      m_shell(std::make_unique<NoShell>())
{
    m_state.LoopsPerSec = loopsPerSec;
    m_form = std::make_unique<Form1>(m_state, m_port, m_pump, m_clock, *m_process, *m_shell, priority);
    m_form->show();
    m_start = m_form->controls().get<QPushButton>("Command1");
    settle();
}

StepBench::~StepBench() = default;

void StepBench::setMonitor(bool open)
{
    if (open && !m_monitor) {
        m_monitor = std::make_unique<MonitorWindow>(m_state, m_monitorClock);
        m_monitor->follow(*m_form);
    } else if (!open) {
        m_monitor.reset();
    }
    settle();
}

void StepBench::settle()
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 50)
        QCoreApplication::processEvents();
}

StepTiming StepBench::runAt(int stepSec, std::size_t steps)
{
    settle();
    m_state.StepSec = static_cast<std::int16_t>(stepSec);
    m_port.arm(steps, m_form.get());
    m_pump.record(true);
    const CpuShare share;
    m_start->click();
    m_pump.record(false);
    StepTiming timing = summariseRun(m_port.stamps(), m_pump.stamps(), stepSec);
    timing.cpuShare = share.sinceStart();
    return timing;
}

std::vector<double> StepBench::runUnpaced(std::size_t steps)
{
    settle();
    m_state.StepSec = 1;
    m_port.arm(steps, m_form.get());
    m_clock.setRacing(true);
    m_start->click();
    m_clock.setRacing(false);
    return intervalsNs(m_port.stamps());
}

std::unique_ptr<MotorDrive> StepBench::driveOn(DriveState &state, ModeFlags &modes, IPort &port,
                                               IBusyWait &wait)
{
    return std::make_unique<MotorDrive>(state, modes, port, m_pump, *m_form, *m_form, *m_process, m_clock, wait);
}
