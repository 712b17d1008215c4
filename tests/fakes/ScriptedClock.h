#pragma once

#include "IClock.h"

#include <QList>
#include <functional>
#include <utility>

// Gives its readings in turn; once they run out it gives 0, the last one
// again, or the readings from the start, as `after` says. No readings at all
// read as 0. `onRead`, when set, sees every read as it happens.
class ScriptedClock final : public IClock
{
public:
    enum class AfterScript { Zero, RepeatLast, Cycle };

    explicit ScriptedClock(QList<float> script = {}, AfterScript then = AfterScript::RepeatLast)
        : readings(std::move(script)), after(then)
    {
    }

    float secondsSinceMidnight() override
    {
        const qsizetype index = reads++;
        if (onRead)
            onRead();
        if (readings.isEmpty())
            return 0.0f;
        if (index < readings.size())
            return readings[index];
        switch (after) {
        case AfterScript::Zero:
            return 0.0f;
        case AfterScript::RepeatLast:
            return readings.last();
        case AfterScript::Cycle:
            break;
        }
        return readings[index % readings.size()];
    }

    QList<float> readings;
    AfterScript after;
    std::function<void()> onRead;
    int reads = 0;
};
