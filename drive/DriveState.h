#pragma once

#include <QString>
#include <cstdint>

// The one process-wide record shared by the motor drive, the loop-rate
// measurement and the main window. Zeroed at start; never copied.
struct DriveState
{
    std::int16_t OutBit[8] = {};   // OutBit[n] is bit n of the data register, 0 or 1
    std::int16_t StepPhase = 0;    // -1, 0, 1 or 2 between two steps
    std::int16_t PortByte = 0;     // the byte SendPort last assembled
    QString PortAddress;           // the address box's text, converted at every write
    std::int16_t StepSec = 0;      // 1..32767 once InitDrive has run
    double LoopsPerSec = 0.0;      // SpinLoop iterations per second, measured once
    // Steps made since the program started, and their count when the latest
    // run started. The drive only counts; the live view of the outputs reads
    // them at the screen's pace, so a step costs one add and no more.
    std::int64_t StepsMade = 0;
    std::int64_t StepsAtRunStart = 0;

    DriveState() = default;
    DriveState(const DriveState &) = delete;
    DriveState &operator=(const DriveState &) = delete;
};

// The drive-mode flags live in the main window; the run loop reads them at
// every step. -1 is true, 0 is false, and exactly one is true after load.
struct ModeFlags
{
    std::int16_t FullStep = 0;
    std::int16_t HalfStep = 0;
};
