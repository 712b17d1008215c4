#pragma once

#include "IBusyWait.h"

#include <QList>
#include <functional>

// A busy wait that spends no time: it keeps every count it was asked for,
// and runs an action where a test follows the order things happen in.
class RecordingBusyWait final : public IBusyWait
{
public:
    void spin(double loops) override
    {
        asked << loops;
        if (onSpin)
            onSpin(loops);
    }

    QList<double> asked;
    std::function<void(double)> onSpin;
};
