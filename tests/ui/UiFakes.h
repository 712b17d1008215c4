#pragma once

#include "FakeProcess.h"
#include "IShell.h"
#include "RecordingPort.h"
#include "ScriptedClock.h"
#include "ScriptedPump.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>
#include <functional>
#include <stdexcept>
#include <utility>
#include <vector>

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
