#pragma once

#include "LayoutRows.h"
#include "SurfaceLabel.h"

#include <memory>

// A windowless label whose text changes after it is placed. The shared
// label item is built with its text for good, so this one rebuilds it from
// its row whenever the text changes and otherwise is exactly that label.
class SplashRateLabel : public SurfaceItem
{
public:
    SplashRateLabel(const LabelRow &row, QFont font);

    QString text() const { return m_label->text(); }
    void setText(const QString &text);

    void paint(QPainter &painter, const SurfaceScale &scale, const QPalette &palette) const override;
    QRect bounds(const SurfaceScale &scale) const override;

private:
    LabelRow m_row;
    QFont m_font;
    std::unique_ptr<SurfaceLabel> m_label;
};
