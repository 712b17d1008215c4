#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QTimer>
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
    void checkPlaced();

    QWidget &m_follower;
    QPointer<QWidget> m_leader;
    // The leader's native window, watched until the desktop has first
    // placed it and shown it.
    QPointer<QWindow> m_leaderWindow;
    bool m_leaderPlaced = false;
    int m_gap;
    // Where the follower's frame was last asked to go, checked once the
    // window manager has had time to answer, and how often the follower
    // has been mapped again for that place.
    QPoint m_asked;
    QPoint m_previous; // asked for before m_asked: where an ignored move leaves it
    QPoint m_request;  // the client area's place last given to a new native window
    // How far a new native window's frame lands from where its client area
    // asked to be put, beyond the margins Qt knows: learnt once, so a later
    // move is made good with one new window.
    QPoint m_newWindowShift;
    QTimer m_check;
    int m_mappedAgain = 0;
};
