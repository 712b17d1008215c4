#pragma once

#include "DriveState.h"
#include "FormControls.h"
#include "FormWindow.h"
#include "IRunButtons.h"
#include "IShell.h"
#include "ISpeedDisplay.h"
#include "MotorDrive.h"

#include <QMessageBox>
#include <QPointer>
#include <array>

class Form2;
class PictureBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class SurfaceLabel;
class SurfaceLine;

// The main window. It owns no motor logic: each control hands its action to
// the drive, and the drive sees the window only as its run buttons ("Stop"
// enabled is the run flag) and its two speed displays. Loading the window
// initialises the drive, which writes the first byte.
class Form1 : public FormWindow, public IRunButtons, public ISpeedDisplay
{
    Q_OBJECT

public:
    Form1(DriveState &state, IPort &port, IEventPump &pump, IMonotonicClock &clock,
          IProcessControl &process, IShell &shell, IRunPriority &priority = unchangedPriority(),
          QWidget *parent = nullptr);
    ~Form1() override;

    const ModeFlags &modes() const { return m_modes; }
    const FormControls &controls() const { return m_controls; }
    Form2 *helpWindow() const;
    const SurfaceLabel &link() const { return *m_link; }
    const SurfaceLine &gaugeLine() const { return *m_gaugeLine; }

    bool isStopEnabled() const override;
    void setStartEnabled(bool enabled) override;
    void setStopEnabled(bool enabled) override;
    void setStepText(const QString &text) override;
    void setGaugeY(float y) override;

    // The phase lines off and written, the process left to end as it is
    // ending: for an exit() that something other than this window started.
    void switchOffForExit();

    // The port's device failed mid-run: the run stops as "Stop" stops it and
    // the user sees why, in a window that does not hold up the run loop.
    void portFailed(const QString &why);
    const QMessageBox *portFailure() const { return m_portFailure; }

public slots:
    // Phase lines off, one write, and the process ends: from "Chiudi", the
    // window frame, or a termination signal, idle or running alike.
    void closeProgram();
    // Phase lines off, written, and the process stops until it is continued
    // (a stop signal: Ctrl-Z in a terminal); a run goes on after it.
    void stopProgram();
    void showHelp();

protected:
    void closeEvent(QCloseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    void setUpGauge();
    void connectButtons(QPushButton &close, QPushButton &help, const std::array<QPushButton *, 4> &speeds,
                        const std::array<QRadioButton *, 2> &modes);
    void connectAddressBox();
    bool overLink(QPoint pos) const;
    void setLinkLook(std::uint32_t colour, bool underline);

    ModeFlags m_modes;
    IShell &m_shell;
    FormControls m_controls;
    MotorDrive m_drive;
    QPointer<QMessageBox> m_portFailure;
    QPushButton *m_start = nullptr;
    QPushButton *m_stop = nullptr;
    QComboBox *m_address = nullptr;
    QLineEdit *m_steps = nullptr;
    PictureBox *m_gauge = nullptr;
    SurfaceLine *m_gaugeLine = nullptr;
    SurfaceLabel *m_link = nullptr;
    QPointer<Form2> m_help;
    bool m_linkPressed = false;
};
