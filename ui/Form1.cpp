#include "Form1.h"

#include "Form1Layout.h"
#include "Form2.h"
#include "FormBuilder.h"
#include "GaugeRuler.h"
#include "PictureBox.h"
#include "Varie.h"
#include "WindowIcon.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>

Form1::Form1(DriveState &state, IPort &port, IEventPump &pump, IMonotonicClock &clock,
             IProcessControl &process, IShell &shell, IRunPriority &priority, QWidget *parent)
    : FormWindow(QString::fromLatin1(Form1Layout::Caption), Form1Layout::ClientWidth,
                 Form1Layout::ClientHeight, parent),
      m_shell(shell), m_drive(state, m_modes, port, pump, *this, *this, process, clock, spinLoopWait(), priority)
{
    setWindowIcon(WindowIcon::icon());
    // Moves over the bare surface restore the link; without tracking they
    // would only arrive with a button held.
    setMouseTracking(true);
    QPushButton *close = nullptr;
    QPushButton *help = nullptr;
    std::array<QPushButton *, 4> speeds{};
    std::array<QRadioButton *, 2> modes{};
    FormHandles handles;
    handles.bind("Command1", m_start).bind("Command2", close).bind("Command3", m_stop).bind("Command4", help);
    handles.bind("Command8(0)", speeds[0]).bind("Command8(1)", speeds[1]);
    handles.bind("Command8(2)", speeds[2]).bind("Command8(3)", speeds[3]);
    handles.bind("Option1(0)", modes[0]).bind("Option1(1)", modes[1]);
    handles.bind("Combo1", m_address).bind("txtStepSec", m_steps).bind("Picture1", m_gauge);
    handles.bind("Label4", m_link);
    m_controls = FormBuilder::addControls(*this, Form1Layout::Controls, &handles);
    FormBuilder::addLabels(m_controls, Form1Layout::Labels, &handles);
    handles.checkAllMade(m_controls);
    setUpGauge();
    m_drive.InitDrive(m_address->currentText());
    connectButtons(*close, *help, speeds, modes);
    connectAddressBox();
}

// The help window has no owner, so it would outlive a main window that is
// destroyed without ending the process (as in tests).
Form1::~Form1()
{
    delete m_help;
}

void Form1::setUpGauge()
{
    m_gauge->setPicture(GaugeRuler::image());
    m_gauge->setScale(Form1Layout::GaugeScaleWidth, Form1Layout::GaugeScaleHeight);
    m_gaugeLine = &m_gauge->surface().add(FormBuilder::makeLine(Form1Layout::GaugeLine));
}

void Form1::connectButtons(QPushButton &close, QPushButton &help, const std::array<QPushButton *, 4> &speeds,
                           const std::array<QRadioButton *, 2> &modes)
{
    connect(m_start, &QPushButton::clicked, this, [this] { m_drive.RunMotor(); });
    connect(m_stop, &QPushButton::clicked, this, [this] { m_drive.StopMotor(); });
    connect(&close, &QPushButton::clicked, this, &Form1::closeProgram);
    connect(&help, &QPushButton::clicked, this, &Form1::showHelp);
    for (int i = 0; i < int(speeds.size()); ++i)
        connect(speeds[i], &QPushButton::clicked, this, [this, i] { m_drive.StepSpeed(i); });
    for (int i = 0; i < int(modes.size()); ++i)
        connect(modes[i], &QRadioButton::clicked, this, [this, i] { m_drive.SelectMode(i); });
}

// Every keystroke and every pick from the list hands over the box's whole
// current text; a partly typed address is taken as it stands.
void Form1::connectAddressBox()
{
    const auto takeText = [this] { m_drive.SetPortAddress(m_address->currentText()); };
    connect(m_address, &QComboBox::editTextChanged, this, takeText);
    connect(m_address, &QComboBox::activated, this, takeText);
}

bool Form1::isStopEnabled() const
{
    return m_stop->isEnabled();
}

void Form1::setStartEnabled(bool enabled)
{
    m_start->setEnabled(enabled);
}

void Form1::setStopEnabled(bool enabled)
{
    m_stop->setEnabled(enabled);
}

void Form1::setStepText(const QString &text)
{
    m_steps->setText(text);
}

void Form1::setGaugeY(float y)
{
    m_gaugeLine->setY1(y);
    m_gaugeLine->setY2(y);
    m_gauge->update();
}

void Form1::closeProgram()
{
    m_drive.CloseProgram();
}

void Form1::stopProgram()
{
    m_drive.stopProcess();
}

void Form1::switchOffForExit()
{
    m_drive.switchOff();
}

void Form1::portFailed(const QString &why)
{
    m_drive.StopMotor();
    if (!m_portFailure) {
        m_portFailure = new QMessageBox(QMessageBox::Warning, windowTitle(),
                                        QStringLiteral("Il motore è stato fermato: la porta non risponde più."),
                                        QMessageBox::Ok, this);
        m_portFailure->setAttribute(Qt::WA_DeleteOnClose);
        m_portFailure->setWindowModality(Qt::NonModal);
    }
    m_portFailure->setInformativeText(why);
    m_portFailure->show();
}

Form2 *Form1::helpWindow() const
{
    return m_help;
}

void Form1::showHelp()
{
    // A closed help window is only hidden until its deferred deletion runs;
    // it must not be shown again, so a fresh one replaces it.
    if (!m_help || !m_help->isVisible())
        m_help = new Form2;
    m_help->show();
    m_help->raise();
    m_help->activateWindow();
}

// Closing through the frame must not leave the windings powered, whether
// the motor runs or not: it ends the tool exactly as "Chiudi" does.
void Form1::closeEvent(QCloseEvent *event)
{
    event->accept();
    closeProgram();
}

bool Form1::overLink(QPoint pos) const
{
    return !childAt(pos) && m_link->bounds(surfaceScale()).contains(pos);
}

void Form1::setLinkLook(std::uint32_t colour, bool underline)
{
    m_link->setForeColour(colour);
    m_link->setUnderline(underline);
    update(m_link->bounds(surfaceScale()));
}

// Moves over a child control reach the window only when that control does
// not track the mouse itself; they leave the link as it is.
void Form1::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    if (childAt(pos))
        return;
    if (overLink(pos))
        setLinkLook(Form1Layout::LinkHoverColour, true);
    else
        setLinkLook(Form1Layout::LinkRestColour, false);
}

void Form1::mousePressEvent(QMouseEvent *event)
{
    m_linkPressed = event->button() == Qt::LeftButton && overLink(event->position().toPoint());
}

// A click is a press and a release both on the link, as for any button.
void Form1::mouseReleaseEvent(QMouseEvent *event)
{
    const bool clicked = m_linkPressed && overLink(event->position().toPoint());
    m_linkPressed = false;
    if (clicked)
        OpenLink(m_link->text() + QString::fromLatin1(Form1Layout::LinkSubject), m_shell);
}

// A double click arrives as press, release, double-click, release. The first
// pair has opened the link already; the double-click is not a press of its
// own, so the release that ends it opens nothing.
void Form1::mouseDoubleClickEvent(QMouseEvent *)
{
    m_linkPressed = false;
}
