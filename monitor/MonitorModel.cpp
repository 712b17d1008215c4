#include "MonitorModel.h"

#include <cmath>

MonitorFrame MonitorModel::read(const DriveState &state, std::int64_t nowNs)
{
    MonitorFrame frame;
    frame.byte = state.PortByte & 0xFF;
    frame.lamps = OutputLines::lampsFor(state.PortByte);
    frame.rotorDegrees = m_rotor.follow(state.PortByte);
    frame.stepsInRun = state.StepsMade - state.StepsAtRunStart;
    m_rate.sample(nowNs, state.StepsMade);
    frame.deliveredPerSec = shownRate(nowNs);
    frame.stepSec = state.StepSec;
    return frame;
}

int MonitorModel::shownRate(std::int64_t nowNs)
{
    const int reading = int(std::lround(m_rate.stepsPerSecond()));
    if (reading == m_shownRate) {
        m_otherSinceNs = -1;
    } else if (m_otherSinceNs < 0) {
        m_otherSinceNs = nowNs;
    } else if (nowNs - m_otherSinceNs >= SettleNs) {
        m_shownRate = reading;
        m_otherSinceNs = -1;
    }
    return m_shownRate;
}

QString byteText(int byte)
{
    return QStringLiteral("%1 = &H%2").arg(byte).arg(QString::number(byte, 16).toUpper(), 2, QLatin1Char('0'));
}
