#pragma once

// Ends or stops the process at once, from anywhere, a running motor loop
// included.
class IProcessControl
{
public:
    virtual ~IProcessControl() = default;
    // No further handler runs and no loop resumes.
    [[noreturn]] virtual void endNow() = 0;
    // The whole process stops, as a terminal's Ctrl-Z stops it, and this
    // returns once something continues it (SIGCONT): a loop that called it
    // goes on from where it was.
    virtual void stopUntilContinued() = 0;
};
