#pragma once

#include <QMouseEvent>
#include <QObject>
#include <QStringList>
#include <QWidget>
#include <QWindow>
#include <QtTest>

// Mouse input given to a widget's top-level window as the windowing system
// gives it, so the application turns it into widget events itself. The
// widget form of QTest's double click (Qt 6.4) hands the widget a lone
// double-click event, which no real mouse produces.
namespace WindowClicks {

// The mouse events `target` receives, by name, for as long as it lives.
class MouseTrail : public QObject
{
public:
    explicit MouseTrail(QWidget *target) : QObject(target) { target->installEventFilter(this); }

    QStringList events;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress: events << QStringLiteral("press"); break;
        case QEvent::MouseButtonRelease: events << QStringLiteral("release"); break;
        case QEvent::MouseButtonDblClick: events << QStringLiteral("double-click"); break;
        default: break;
        }
        return false;
    }
};

inline QPoint inWindow(QWidget *target, QPoint pos)
{
    return target->mapTo(target->window(), pos);
}

inline void click(QWidget *target, QPoint pos, Qt::MouseButton button = Qt::LeftButton)
{
    QTest::mouseClick(target->window()->windowHandle(), button, {}, inWindow(target, pos));
}

// Two presses and releases close enough in time to make a double click: the
// widget under the pointer gets press, release, double-click, release.
inline void doubleClick(QWidget *target, QPoint pos)
{
    QTest::mouseDClick(target->window()->windowHandle(), Qt::LeftButton, {}, inWindow(target, pos));
}

} // namespace WindowClicks
