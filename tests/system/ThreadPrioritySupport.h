#pragma once

#include "PriorityFakes.h"
#include "ThreadPriority.h"

#include <QStringList>
#include <memory>

// The thread the fake kernel calls the current one, and how long the
// service gives RealtimeKit to answer.
constexpr long Thread = 4242;
constexpr int BoundMs = 30;

// A priority service over the fake kernel and RealtimeKit, made as main.cpp
// makes it at load, its messages kept.
struct Rig
{
    FakeScheduling kernel;
    FakeRealtimeKit kit{kernel};
    QStringList told;
    std::unique_ptr<ThreadPriority> priority;

    explicit Rig(int floor = 20, int limitFloor = 20, int startNice = 0)
    {
        kernel.floor = floor;
        kernel.limitFloor = limitFloor;
        kernel.nice[Thread] = startNice;
    }
    void load()
    {
        priority = std::make_unique<ThreadPriority>(kernel, kit, BoundMs,
                                                    [this](const QString &line) { told << line; });
    }
    int nice() { return kernel.nice[Thread]; }
};
