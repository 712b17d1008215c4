#pragma once

#include "DriveState.h"
#include "FormControls.h"
#include "FormWindow.h"
#include "IMonotonicClock.h"
#include "MonitorModel.h"

#include <QTimer>
#include <memory>

class FrameControl;
class LampPanel;
class MotorDrawing;
class SurfaceFigure;

// The live view of the outputs (--monitor): the lamps of the data lines,
// the byte, the motor with its rotor, the steps since the run started, and
// the rate delivered over the last second beside the speed set. It reads the
// drive's record once per screen frame while it is shown, and repaints only
// what changed; the drive and the port never see it. Every reading runs
// inside an event pass, so during a run it costs one step's pass that much
// and no other step anything.
class MonitorWindow : public FormWindow
{
    Q_OBJECT

public:
    MonitorWindow(const DriveState &state, IMonotonicClock &clock, QWidget *parent = nullptr);
    ~MonitorWindow() override;

    // Opens and closes with `mainWindow`, beside it.
    void follow(QWidget &mainWindow);

    // One reading now; the timer calls it at the screen's pace.
    void refresh();

    int readings() const { return m_readings; }
    int intervalMs() const { return m_timer.interval(); }
    const MonitorFrame &shown() const { return m_shown; }
    const FormControls &controls() const { return m_controls; }
    const LampPanel &lamps() const { return *m_lamps; }
    const MotorDrawing &drawing() const { return *m_drawing; }

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    struct ValueLabel
    {
        FrameControl *frame = nullptr;
        SurfaceFigure *label = nullptr;
    };

    void display(const MonitorFrame &frame);
    static void setText(const ValueLabel &value, const QString &text);

    const DriveState &m_state;
    IMonotonicClock &m_clock;
    MonitorModel m_model;
    MonitorFrame m_shown;
    FormControls m_controls;
    std::unique_ptr<LampPanel> m_lamps;
    std::unique_ptr<MotorDrawing> m_drawing;
    ValueLabel m_byte;
    ValueLabel m_steps;
    ValueLabel m_rate;
    ValueLabel m_stepSec;
    QTimer m_timer;
    int m_readings = 0;
};
