#pragma once

#include <QWidget>

// A horizontal progress bar over a single-precision range that need not
// start at zero, painted as the classic sunken box filling with blocks from
// the left. A value at the minimum shows nothing.
class SplashProgressBar : public QWidget
{
    Q_OBJECT

public:
    SplashProgressBar(float min, float max, QWidget *parent = nullptr);

    float Min() const { return m_min; }
    float Max() const { return m_max; }
    float Value() const { return m_value; }
    void SetValue(float value);

    // The pixels the blocks may reach, inside the sunken border, and the
    // part of them the current value fills.
    QRect track() const;
    int filledWidth() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    float m_min;
    float m_max;
    float m_value;
};
