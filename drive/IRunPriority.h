#pragma once

// What the drive asks of the machine while the motor runs: its busy wait
// holds the speed only while the thread that steps gets a whole processor,
// which a busy machine gives only to a thread of higher priority. Called on
// the stepping thread when the outermost run starts and once when it ends,
// however it ends; a nested run changes nothing. Neither may block the run:
// what takes time (asking a service) is answered later or not at all.
class IRunPriority
{
public:
    virtual ~IRunPriority() = default;
    virtual void raiseForRun() = 0;
    virtual void restoreAfterRun() = 0;
};

// Leaves the priority as it is: for a drive with nothing to ask.
IRunPriority &unchangedPriority();
