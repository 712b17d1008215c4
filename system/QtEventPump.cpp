#include "QtEventPump.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>

QtEventPump::QtEventPump()
    : m_dispatcher(QAbstractEventDispatcher::instance())
{
}

void QtEventPump::processPendingEvents()
{
    // Same pass as QCoreApplication::processEvents(), without its per-call
    // thread-data lookup. No dispatcher means no application: nothing to run.
    if (m_dispatcher)
        m_dispatcher->processEvents(QEventLoop::AllEvents);
}
