#pragma once

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

