#include "WindowFollower.h"

#include <QEvent>
#include <QTimer>

WindowFollower::WindowFollower(QWidget &follower, QWidget &leader, int gapPixels)
    : QObject(&follower), m_follower(follower), m_leader(&leader), m_gap(gapPixels)
{
    leader.installEventFilter(this);
    connect(&leader, &QObject::destroyed, &follower, &QWidget::close);
    if (leader.isVisible())
        leaderShown();
}

bool WindowFollower::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_leaderWindow && event->type() == QEvent::Expose && m_leaderWindow->isExposed()) {
        // Exposed only once the desktop has placed it: its frame is known.
        m_leaderWindow->removeEventFilter(this);
        m_leaderWindow = nullptr;
        m_leaderPlaced = true;
        if (m_leader && m_leader->isVisible())
            open();
        return false;
    }
    if (watched != m_leader)
        return false;
    switch (event->type()) {
    case QEvent::Show:
        leaderShown();
        break;
    case QEvent::Hide:
        m_follower.hide();
        break;
    case QEvent::Move:
    case QEvent::Resize:
        if (m_follower.isVisible())
            place();
        break;
    default:
        break;
    }
    return false;
}

// The first time, the follower waits until the desktop has placed the
// leader, then is placed before it is shown. Some window managers (weston's
// for Xwayland) honour only the position a window asks for when it is first
// mapped, and place a window that asked for none wherever they like; later
// moves of a window they manage they ignore.
void WindowFollower::leaderShown()
{
    QWindow *window = m_leader->windowHandle();
    if (!m_leaderPlaced && window && window->isExposed())
        m_leaderPlaced = true;
    if (m_leaderPlaced || !window) {
        open();
        return;
    }
    if (!m_leaderWindow) {
        m_leaderWindow = window;
        window->installEventFilter(this);
    }
}

void WindowFollower::open()
{
    place();
    m_follower.show();
    // The leader's own frame may only be known once its native window has
    // been placed, which some platforms do without telling the widget.
    QTimer::singleShot(0, this, &WindowFollower::place);
}

// The follower's frame starts the gap to the right of the leader's. Set on
// the native window, which knows its frame: a widget's move() takes the
// frame's position for the client area's until the frame is known.
void WindowFollower::place()
{
    if (!m_leader)
        return;
    const QPoint framePosition = m_leader->frameGeometry().topRight() + QPoint(1 + m_gap, 0);
    if (QWindow *window = m_follower.windowHandle())
        window->setFramePosition(framePosition);
    else
        m_follower.move(framePosition);
}
