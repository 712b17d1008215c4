#pragma once

// Spends a number of iterations of the counted loop. The run loop paces its
// steps with it between clock reads; a test hands in one that spends virtual
// time instead, and keeps its state in the object rather than in a global.
class IBusyWait
{
public:
    virtual ~IBusyWait() = default;
    virtual void spin(double loops) = 0;
};
