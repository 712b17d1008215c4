#include "SurfaceFigure.h"

#include "OleColor.h"

#include <QFontMetrics>
#include <QPainter>

SurfaceFigure::SurfaceFigure(QString name, double left, double top, double width, double height,
                             QString text, QFont font, std::uint32_t foreColour, std::uint32_t backColour)
    : SurfaceItem(std::move(name)), m_left(left), m_top(top), m_width(width), m_height(height),
      m_text(std::move(text)), m_font(std::move(font)), m_foreColour(foreColour), m_backColour(backColour)
{
}

// Each image is the character's advance wide and the font's height tall,
// drawn at the baseline a label would use, so a row of them reads as the
// label would (no kerning between plain figures and capitals).
const QImage &SurfaceFigure::glyph(char16_t character, const QColor &colour, qreal pixelRatio) const
{
    if (colour != m_glyphColour || pixelRatio != m_glyphRatio) {
        m_glyphs = {};
        m_glyphColour = colour;
        m_glyphRatio = pixelRatio;
    }
    QImage &image = m_glyphs[character];
    if (image.isNull()) {
        const QFontMetrics metrics(m_font);
        const QString text(1, QChar(character));
        image = QImage(QSize(metrics.horizontalAdvance(text), metrics.height()) * pixelRatio,
                       QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(pixelRatio);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setFont(m_font);
        painter.setPen(colour);
        painter.drawText(QPointF(0, metrics.ascent()), text);
    }
    return image;
}

void SurfaceFigure::paint(QPainter &painter, const SurfaceScale &scale, const QPalette &palette) const
{
    const QRect box = bounds(scale);
    painter.fillRect(box, OleColor::toColor(m_backColour, palette));
    const QColor colour = OleColor::toColor(m_foreColour, palette);
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    painter.save();
    painter.setClipRect(box, Qt::IntersectClip);
    qreal x = box.left();
    for (QChar c : m_text) {
        if (c.unicode() >= m_glyphs.size())
            continue;
        const QImage &image = glyph(c.unicode(), colour, ratio);
        painter.drawImage(QPointF(x, box.top()), image);
        x += image.width() / ratio;
    }
    painter.restore();
}

QRect SurfaceFigure::bounds(const SurfaceScale &scale) const
{
    return scale.rect(m_left, m_top, m_width, m_height);
}
