#pragma once

#include "Form1.h"
#include "UiFakes.h"

#include <QPushButton>
#include <QtTest>
#include <memory>

inline constexpr int LptPort = 0x378;

// One main window with every service faked, its controls as the builder made them.
struct Rig
{
    DriveState state;
    RecordingPort port;
    ScriptedPump pump;
    ScriptedMonotonicClock clock = ScriptedMonotonicClock::stepping(ScriptedMonotonicClock::Second);
    FakeProcess process = FakeProcess::forbidden();
    RecordingShell shell;
    std::unique_ptr<Form1> form;

    Rig()
    {
        form = std::make_unique<Form1>(state, port, pump, clock, process, shell);
        pump.deliverEvents = true;
        pump.fallback = [this] { control<QPushButton>("Command3")->click(); };
    }

    template <class T = QWidget>
    T *control(const char *name) const
    {
        return form->controls().get<T>(name);
    }

    void click(const char *name) const { QTest::mouseClick(control(name), Qt::LeftButton); }

    void show() const
    {
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    }
};
