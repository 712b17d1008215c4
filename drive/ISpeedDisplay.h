#pragma once

#include <QString>

// The two speed displays: the steps box and the gauge line (in the gauge
// picture's own scale, 0 at the top edge, 5000 at the bottom).
class ISpeedDisplay
{
public:
    virtual ~ISpeedDisplay() = default;
    virtual void setStepText(const QString &text) = 0;
    virtual void setGaugeY(float y) = 0;
};
