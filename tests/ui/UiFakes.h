#pragma once

#include "MonotonicClock.h"
#include "Services.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>
#include <functional>
#include <stdexcept>
#include <utility>
#include <vector>

// Remembers every byte the tool writes and the port it went to.
class RecordingPort : public IPort
{
public:
    struct Write
    {
        int port;
        int value;
    };

    void Out32(std::int16_t port, std::int16_t value) override
    {
        writes.push_back({std::uint16_t(port), value});
    }

    std::vector<int> values(std::size_t from = 0) const
    {
        std::vector<int> result;
        for (std::size_t i = from; i < writes.size(); ++i)
            result.push_back(writes[i].value);
        return result;
    }

    std::vector<Write> writes;
};

// The run loop's event pass: lets Qt deliver what is pending, then plays the
// next scripted user action, as if it had been queued since the last step.
// A run that outlasts its script gets stopped by `fallback` and marked, so a
// broken Stop fails the test instead of hanging it.
class ScriptedPump : public IEventPump
{
public:
    void processPendingEvents() override
    {
        QCoreApplication::processEvents();
        const std::size_t pass = passes++;
        if (pass < script.size())
            script[pass]();
        else if (pass > script.size() + 50 && fallback) {
            overran = true;
            fallback();
        }
    }

    std::vector<std::function<void()>> script;
    std::function<void()> fallback;
    std::size_t passes = 0;
    bool overran = false;
};

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
};
