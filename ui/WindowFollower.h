#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

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
    void open();
    void place();

    QWidget &m_follower;
    QPointer<QWidget> m_leader;
    int m_gap;
};
