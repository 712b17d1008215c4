#pragma once

#include "IMonotonicClock.h"
#include "IProcessControl.h"
#include "IShell.h"
#include "RecordingPort.h"
#include "ScriptedPump.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>
#include <functional>
#include <stdexcept>
#include <utility>
#include <vector>

// A second passes at every reading: each step is due as soon as the run
// loop asks, so the window's tests step as fast as their event passes go.
class RacingClock : public IMonotonicClock
{
public:
    std::int64_t nanoseconds() override { return m_now += 1'000'000'000; }

private:
    std::int64_t m_now = 0;
};

class RecordingShell : public IShell
{
public:
    void open(const QString &target) override
    {
        opened << target;
        if (fails)
            throw std::runtime_error("no handler for this address");
    }

    QStringList opened;
    bool fails = false;
};

// In-process tests never reach "end now"; if they do, it is a fault.
class ForbiddenProcess : public IProcessControl
{
public:
    [[noreturn]] void endNow() override { qFatal("the tool ended the process unexpectedly"); }
    void stopUntilContinued() override { qFatal("the tool stopped the process unexpectedly"); }
};
