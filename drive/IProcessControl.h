#pragma once

// Ends the process at once: no further handler runs and no loop resumes.
class IProcessControl
{
public:
    virtual ~IProcessControl() = default;
    [[noreturn]] virtual void endNow() = 0;
};
