#pragma once

#include "SurfaceItem.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <array>
#include <cstdint>

// A windowless one-line text of plain ASCII characters (figures, "&H"...)
// that changes at the screen's pace, left-aligned and top-aligned in its
// opaque box like a label. Laying out text costs a repaint of a small box
// hundreds of microseconds, and a live view that repaints inside the motor's
// event pass cannot spend that 60 times a second: each character is drawn
// once into an image, and a repaint only places the images side by side.
class SurfaceFigure : public SurfaceItem
{
public:
    SurfaceFigure(QString name, double left, double top, double width, double height, QString text,
                  QFont font, std::uint32_t foreColour, std::uint32_t backColour);

    const QString &text() const { return m_text; }
    void setText(const QString &text) { m_text = text; }

    void paint(QPainter &painter, const SurfaceScale &scale, const QPalette &palette) const override;
    QRect bounds(const SurfaceScale &scale) const override;

private:
    const QImage &glyph(char16_t character, const QColor &colour, qreal pixelRatio) const;

    double m_left;
    double m_top;
    double m_width;
    double m_height;
    QString m_text;
    QFont m_font;
    std::uint32_t m_foreColour;
    std::uint32_t m_backColour;
    // Drawn on first use, in the colour and pixel ratio of that paint.
    mutable std::array<QImage, 128> m_glyphs;
    mutable QColor m_glyphColour;
    mutable qreal m_glyphRatio = 0;
};
