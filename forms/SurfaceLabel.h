#pragma once

#include "SurfaceItem.h"

#include <QFont>
#include <cstdint>

// A windowless text label: its text wraps at word boundaries within its box,
// starts at the box's top edge with no margin, and may paint its box in its
// background colour first (opaque) or leave what lies beneath (transparent).
class SurfaceLabel : public SurfaceItem
{
public:
    SurfaceLabel(QString name, double left, double top, double width, double height, QString text,
                 QFont font, std::uint32_t foreColour, std::uint32_t backColour, bool opaque,
                 Qt::Alignment alignment);

    const QString &text() const { return m_text; }
    const QFont &font() const { return m_font; }
    std::uint32_t foreColour() const { return m_foreColour; }
    Qt::Alignment alignment() const { return m_alignment; }

    void setForeColour(std::uint32_t colour) { m_foreColour = colour; }
    void setUnderline(bool on) { m_font.setUnderline(on); }
    void setText(const QString &text) { m_text = text; }

    void paint(QPainter &painter, const SurfaceScale &scale, const QPalette &palette) const override;
    QRect bounds(const SurfaceScale &scale) const override;

private:
    double m_left;
    double m_top;
    double m_width;
    double m_height;
    QString m_text;
    QFont m_font;
    std::uint32_t m_foreColour;
    std::uint32_t m_backColour;
    bool m_opaque;
    Qt::Alignment m_alignment;
};
