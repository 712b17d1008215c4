#include "WindowFollower.h"

#include <QEvent>
#include <QTimer>
#include <QWindow>

WindowFollower::WindowFollower(QWidget &follower, QWidget &leader, int gapPixels)
    : QObject(&follower), m_follower(follower), m_leader(&leader), m_gap(gapPixels)
{
    leader.installEventFilter(this);
    connect(&leader, &QObject::destroyed, &follower, &QWidget::close);
    if (leader.isVisible())
        open();
}

bool WindowFollower::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_leader)
        return false;
    switch (event->type()) {
    case QEvent::Show:
        open();
        break;
    case QEvent::Hide:
        m_follower.hide();
        break;
    case QEvent::Move:
    case QEvent::Resize:
        place();
        break;
    default:
        break;
    }
    return false;
}

// Placed once shown: before its native window exists Qt knows nothing of
// its frame, and would take the frame's position for the client area's.
void WindowFollower::open()
{
    m_follower.show();
    place();
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
