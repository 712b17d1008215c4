#include "WindowFollower.h"

#include <QEvent>
#include <QGuiApplication>

namespace {

// Long enough for any window manager to have answered a move, short enough
// that a follower left behind is not noticed.
constexpr int AnswerWaitMs = 250;
// A frame where it was asked to go, give or take the rounding of scaled
// borders.
constexpr int PlacedWithin = 4;
// A frame that stayed where the follower was put before: weston counts its
// 32-pixel shadow into the frame, up and left, where Qt did not know of it
// yet; a move it ignored misses by about a window's width.
constexpr int IgnoredWithin = 80;
// Enough to learn how the manager puts a new window's frame, once.
constexpr int MapAgainAtMost = 3;

} // namespace

WindowFollower::WindowFollower(QWidget &follower, QWidget &leader, int gapPixels)
    : QObject(&follower), m_follower(follower), m_leader(&leader), m_gap(gapPixels)
{
    m_check.setSingleShot(true);
    m_check.setInterval(AnswerWaitMs);
    connect(&m_check, &QTimer::timeout, this, &WindowFollower::checkPlaced);
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
    if (framePosition != m_asked) {
        m_previous = m_asked;
        m_mappedAgain = 0;
    }
    m_asked = framePosition;
    if (QWindow *window = m_follower.windowHandle())
        window->setFramePosition(framePosition);
    else
        m_follower.move(framePosition);
    if (m_follower.isVisible())
        m_check.start();
}

// Some window managers (weston's for Xwayland) ignore the move of a window
// they have mapped, and say nothing: the live view stays where the main
// window was. They do honour the place a window asks for when it is mapped,
// so a follower found where it was before is mapped again, as a new window,
// where it belongs; and again, corrected by what it missed, if the manager
// puts a new window's frame its own way. A few times for each place at
// most: a manager that never tells a client where its windows are (X sees
// them all at 0,0) would otherwise have it mapped forever.
void WindowFollower::checkPlaced()
{
    // Only X says where a window is: a Wayland client cannot learn it, and
    // would make its window anew for nothing.
    QWindow *window = m_follower.windowHandle();
    if (!window || !m_follower.isVisible() || m_mappedAgain == MapAgainAtMost
        || QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    // Qt takes a move as done when it asks for it; mapping a point asks the
    // window system where the window really is (X answers from the server).
    const QPoint client = window->mapToGlobal(QPoint(0, 0));
    const QPoint frame = client - (window->geometry().topLeft() - window->framePosition());
    const QPoint missed = frame - m_asked;
    if (missed.manhattanLength() <= PlacedWithin)
        return;
    if (m_mappedAgain == 0) {
        // Moved, but elsewhere: the window manager kept it on the screen.
        if ((frame - m_previous).manhattanLength() > IgnoredWithin)
            return;
        m_request = client - missed - m_newWindowShift;
    } else {
        m_request -= missed;
        m_newWindowShift += missed;
    }
    ++m_mappedAgain;
    const QSize size = window->geometry().size();
    m_follower.hide();
    window->destroy();
    // The widget's own geometry is what its show gives the new window.
    m_follower.setGeometry(QRect(m_request, size));
    m_follower.show();
    m_check.start();
}
