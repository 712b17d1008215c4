#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <QWindow>

// Keeps one window beside another: it opens when the leader opens, sits
// against the leader's right edge whenever the leader moves or changes size,
// and goes when the leader hides or is destroyed. It only watches the
// leader; the leader's events go on to it unchanged. Closing the follower
// by hand touches nothing of the leader.
class WindowFollower : public QObject
{
    Q_OBJECT

public:
    WindowFollower(QWidget &follower, QWidget &leader, int gapPixels);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void leaderShown();
    void open();
    void place();

    QWidget &m_follower;
    QPointer<QWidget> m_leader;
    // The leader's native window, watched until the desktop has first
    // placed it and shown it.
    QPointer<QWindow> m_leaderWindow;
    bool m_leaderPlaced = false;
    int m_gap;
};
