#pragma once

#include "DeliveredRate.h"
#include "DriveState.h"
#include "OutputLines.h"
#include "RotorAngle.h"

#include <QString>
#include <cstdint>

// What the live view shows at one reading of the drive's record.
struct MonitorFrame
{
    int byte = 0;
    OutputLines::Lamps lamps{};
    double rotorDegrees = 0;
    std::int64_t stepsInRun = 0;
    int deliveredPerSec = 0;
    int stepSec = 0;

    bool operator==(const MonitorFrame &) const = default;
};

// Reads what the drive last wrote and counted; it only ever reads the
// record, so the drive and the port see nothing of it.
class MonitorModel
{
public:
    // A reading is uncertain by about one step a second (a step shows up
    // only at the next reading), so the figure shown moves only once the
    // reading has rounded to another one for this long: a steady motor shows
    // one steady figure, and a change of speed shows within the second.
    static constexpr std::int64_t SettleNs = 250'000'000;

    MonitorFrame read(const DriveState &state, std::int64_t nowNs);

private:
    int shownRate(std::int64_t nowNs);

    RotorPosition m_rotor;
    DeliveredRate m_rate;
    int m_shownRate = 0;
    std::int64_t m_otherSinceNs = -1; // since when the reading rounds to another figure
};

// The byte in decimal and in the address box's hex notation: "69 = &H45".
QString byteText(int byte);
