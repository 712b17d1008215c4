#pragma once

#include <QString>

// What the drive needs from the main window. The run state of the motor is
// the enabled state of "Stop" itself, not a copy of it.
class IRunButtons
{
public:
    virtual ~IRunButtons() = default;
    virtual bool isStopEnabled() const = 0;
    virtual void setStartEnabled(bool enabled) = 0;
    virtual void setStopEnabled(bool enabled) = 0;
};

// The two speed displays: the steps box and the gauge line (in the gauge
// picture's own scale, 0 at the top edge, 5000 at the bottom).
class ISpeedDisplay
{
public:
    virtual ~ISpeedDisplay() = default;
    virtual void setStepText(const QString &text) = 0;
    virtual void setGaugeY(float y) = 0;
};
