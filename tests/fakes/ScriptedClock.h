#pragma once

#include "IClock.h"
#include "IMonotonicClock.h"

#include <QList>
#include <cstdint>
#include <functional>
#include <utility>

// Gives its readings in turn; once they run out it gives 0, the last one
// again, or the readings from the start, as `after` says. No readings at all
// read as 0. `onRead`, when set, sees every read as it happens.
template <typename Reading>
class ScriptedReadings
{
public:
    enum class AfterScript { Zero, RepeatLast, Cycle };

    explicit ScriptedReadings(QList<Reading> script = {}, AfterScript then = AfterScript::RepeatLast)
        : readings(std::move(script)), after(then)
    {
    }

    Reading next()
    {
        const qsizetype index = reads++;
        if (onRead)
            onRead();
        if (readings.isEmpty())
            return Reading{};
        if (index < readings.size())
            return readings[index];
        switch (after) {
        case AfterScript::Zero:
            return Reading{};
        case AfterScript::RepeatLast:
            return readings.last();
        case AfterScript::Cycle:
            break;
        }
        return readings[index % readings.size()];
    }

    QList<Reading> readings;
    AfterScript after;
    std::function<void()> onRead;
    int reads = 0;
};

// The start-up measurement's clock: seconds since midnight.
class ScriptedClock final : public IClock, public ScriptedReadings<float>
{
public:
    using ScriptedReadings::ScriptedReadings;
    float secondsSinceMidnight() override { return next(); }
};

// The drive's and the live view's clock: nanoseconds that never go back.
// With no readings scripted it shows `now`, moved on by `stepNs` at every
// reading: 0 holds it where the test sets it, a second makes every step due
// as soon as the run loop asks.
class ScriptedMonotonicClock final : public IMonotonicClock, public ScriptedReadings<std::int64_t>
{
public:
    using ScriptedReadings::ScriptedReadings;
    static ScriptedMonotonicClock stepping(std::int64_t stepNs)
    {
        ScriptedMonotonicClock clock;
        clock.stepNs = stepNs;
        return clock;
    }

    std::int64_t nanoseconds() override
    {
        if (!readings.isEmpty())
            return next();
        ++reads;
        if (onRead)
            onRead();
        return now += stepNs;
    }

    static constexpr std::int64_t Second = 1'000'000'000;
    std::int64_t now = 0;
    std::int64_t stepNs = 0;
};
