#pragma once

#include "FormWindow.h"
#include "StartupSequence.h"

#include <functional>

class FrameControl;
class Label3D;
class QTimer;
class SplashImage;
class SplashProgressBar;
class SurfaceLabel;

// The start-up window: title, logo, contact lines, version and a line asking
// the user to wait, then the measured loop rate as a figure and on a bar. It
// has no title bar and no task-bar entry and takes no input. Its one timer
// ticks once, two seconds after the window is created, and that tick runs
// the start-up sequence, which closes the window for good and hands over to
// the main window through showMainWindow.
class frmSplash : public FormWindow, public ISplashView
{
    Q_OBJECT

public:
    frmSplash(DriveState &state, StartupSequence::Services services,
              std::function<void()> showMainWindow, QWidget *parent = nullptr);

    FrameControl *Frame1() const { return m_frame; }
    Label3D *Label3D1() const { return m_title; }
    SplashProgressBar *ProgressBar1() const { return m_bar; }
    QTimer *Timer1() const { return m_timer; }
    const SurfaceLabel &Label3() const { return *m_rate; }
    const SplashImage &imgLogo() const { return *m_logo; }
    StartupSequence &startup() { return m_startup; }

    void setRateText(const QString &text) override;
    void setBarValue(float value) override;
    void closeSplash() override;
    void stopTimer() override;

protected:
    void closeEvent(QCloseEvent *event) override;

private slots:
    void Timer1_Timer();

private:
    void placeOnScreen();
    void addLabels();
    void addLogo();
    void addTitle();
    void addBar();

    StartupSequence m_startup;
    FrameControl *m_frame = nullptr;
    Label3D *m_title = nullptr;
    SplashProgressBar *m_bar = nullptr;
    SurfaceLabel *m_rate = nullptr;
    SplashImage *m_logo = nullptr;
    QTimer *m_timer = nullptr;
    bool m_closing = false;
};
