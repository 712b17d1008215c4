#include "MonitorWindow.h"

#include "FormBuilder.h"
#include "FrameControl.h"
#include "LampPanel.h"
#include "MonitorLayout.h"
#include "MonitorPace.h"
#include "MotorDrawing.h"
#include "SurfaceFigure.h"
#include "WindowFollower.h"
#include "WindowIcon.h"

#include <QScreen>

MonitorWindow::MonitorWindow(const DriveState &state, IMonotonicClock &clock, QWidget *parent)
    : FormWindow(QString::fromLatin1(MonitorLayout::Caption), MonitorLayout::ClientWidth,
                 MonitorLayout::ClientHeight, parent),
      m_state(state), m_clock(clock)
{
    setWindowIcon(WindowIcon::icon());
    FrameControl *lamps = nullptr;
    FrameControl *motor = nullptr;
    FormHandles handles;
    handles.bind("Frame1", lamps).bind("Frame3", motor);
    handles.bind("lblByte", m_byte.label, &m_byte.frame).bind("lblSteps", m_steps.label, &m_steps.frame);
    handles.bind("lblRate", m_rate.label, &m_rate.frame).bind("lblStepSec", m_stepSec.label, &m_stepSec.frame);
    m_controls = FormBuilder::addControls(*this, MonitorLayout::Controls, &handles);
    FormBuilder::addLabels(m_controls, MonitorLayout::Labels);
    FormBuilder::addFigures(m_controls, MonitorLayout::Figures, handles);
    handles.checkAllMade(m_controls);
    m_lamps = std::make_unique<LampPanel>(*lamps);
    m_drawing = std::make_unique<MotorDrawing>(*motor);
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(MonitorPace::intervalMs(MonitorPace::MaxHz));
    connect(&m_timer, &QTimer::timeout, this, &MonitorWindow::refresh);
    refresh();
}

MonitorWindow::~MonitorWindow() = default;

void MonitorWindow::follow(QWidget &mainWindow)
{
    new WindowFollower(*this, mainWindow, MonitorLayout::GapPixels);
}

void MonitorWindow::refresh()
{
    ++m_readings;
    const MonitorFrame frame = m_model.read(m_state, m_clock.nanoseconds());
    if (m_readings == 1 || frame != m_shown)
        display(frame);
}

void MonitorWindow::display(const MonitorFrame &frame)
{
    m_lamps->show(frame.lamps);
    m_drawing->show(frame.rotorDegrees, std::int16_t(frame.byte));
    setText(m_byte, byteText(frame.byte));
    setText(m_steps, QString::number(frame.stepsInRun));
    setText(m_rate, QString::number(frame.deliveredPerSec));
    setText(m_stepSec, QString::number(frame.stepSec));
    m_shown = frame;
}

void MonitorWindow::setText(const ValueLabel &value, const QString &text)
{
    if (value.label->text() == text)
        return;
    value.label->setText(text);
    value.frame->update(value.label->bounds(value.frame->surfaceScale()));
}

void MonitorWindow::showEvent(QShowEvent *event)
{
    FormWindow::showEvent(event);
    if (QScreen *shownOn = screen())
        m_timer.setInterval(MonitorPace::intervalMs(shownOn->refreshRate()));
    m_timer.start();
}

void MonitorWindow::hideEvent(QHideEvent *event)
{
    m_timer.stop();
    FormWindow::hideEvent(event);
}
