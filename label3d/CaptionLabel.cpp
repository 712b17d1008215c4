#include "CaptionLabel.h"

#include "Label3DError.h"
#include "OleColor.h"
#include "Twips.h"

#include <QMouseEvent>
#include <utility>

namespace {

constexpr Qt::Alignment AlignmentFlags[] = {
    Qt::AlignLeft | Qt::AlignTop,    // 0 left
    Qt::AlignRight | Qt::AlignTop,   // 1 right
    Qt::AlignHCenter | Qt::AlignTop, // 2 centred
};
constexpr qint16 AlignmentCount = qint16(std::size(AlignmentFlags));
constexpr qint16 BorderStyleCount = 2; // 0 none, 1 single line

struct MaskBit
{
    int qtFlag;
    qint16 bit;
};

constexpr MaskBit ButtonBits[] = {{Qt::LeftButton, 1}, {Qt::RightButton, 2}, {Qt::MiddleButton, 4}};
constexpr MaskBit ShiftBits[] = {{Qt::ShiftModifier, 1}, {Qt::ControlModifier, 2}, {Qt::AltModifier, 4}};

template<std::size_t N>
qint16 maskOf(int qtFlags, const MaskBit (&bits)[N])
{
    qint16 mask = 0;
    for (const MaskBit &b : bits) {
        if (qtFlags & b.qtFlag)
            mask = qint16(mask | b.bit);
    }
    return mask;
}

} // namespace

CaptionLabel::CaptionLabel(QWidget *parent)
    : QLabel(parent)
{
    setAutoFillBackground(false);
    // A caption such as "<b>x</b>" is shown as typed, never read as markup.
    setTextFormat(Qt::PlainText);
    setWordWrap(true);
    setIndent(0); // a framed QLabel would otherwise indent its text by half an "x"
    setMouseTracking(true);
    setAlignment(AlignmentFlags[0]);
}

void CaptionLabel::place()
{
    setGeometry(Twips::rect(m_left, m_top, m_width, m_height));
}

void CaptionLabel::SetLeft(float twips) { m_left = twips; place(); }
void CaptionLabel::SetTop(float twips) { m_top = twips; place(); }
void CaptionLabel::SetWidth(float twips) { m_width = twips; place(); }
void CaptionLabel::SetHeight(float twips) { m_height = twips; place(); }

void CaptionLabel::SetCaption(const QString &caption)
{
    setText(caption);
}

void CaptionLabel::SetForeColor(quint32 color)
{
    m_foreColor = color;
    applyForeColor();
}

void CaptionLabel::applyForeColor()
{
    // Disabled text keeps the desktop's own greyed look.
    const QColor color = OleColor::toColor(m_foreColor);
    QPalette p = palette();
    p.setColor(QPalette::Active, QPalette::WindowText, color);
    p.setColor(QPalette::Inactive, QPalette::WindowText, color);
    setPalette(p);
}

void CaptionLabel::SetAlignment(qint16 alignment)
{
    if (alignment < 0 || alignment >= AlignmentCount)
        throw Label3DError::invalidValue(QStringLiteral("alignment %1 is not 0, 1 or 2").arg(alignment));
    m_alignment = alignment;
    setAlignment(AlignmentFlags[alignment]);
}

void CaptionLabel::SetBorderStyle(qint16 style)
{
    if (style < 0 || style >= BorderStyleCount)
        throw Label3DError::invalidValue(QStringLiteral("border style %1 is not 0 or 1").arg(style));
    m_borderStyle = style;
    setFrameShape(style ? QFrame::Box : QFrame::NoFrame);
    setFrameShadow(QFrame::Plain);
    setLineWidth(1);
}

void CaptionLabel::SetFont(const FontRef &font)
{
    if (!font)
        throw Label3DError::invalidValue(QStringLiteral("a label needs a font object"));
    disconnect(m_fontWatch);
    m_font = font;
    m_fontWatch = connect(m_font.get(), &StdFont::FontChanged, this, &CaptionLabel::applyFont);
    applyFont();
}

void CaptionLabel::applyFont()
{
    setFont(m_font->toQFont());
}

void CaptionLabel::report(MouseSignal signal, QMouseEvent *event, int buttons)
{
    qint16 button = maskOf(buttons, ButtonBits);
    qint16 shift = maskOf(event->modifiers(), ShiftBits);
    float x = float(Twips::fromPixels(event->position().x()));
    float y = float(Twips::fromPixels(event->position().y()));
    (this->*signal)(button, shift, x, y);
}

void CaptionLabel::mousePressEvent(QMouseEvent *event)
{
    report(&CaptionLabel::MouseDown, event, event->button());
}

void CaptionLabel::mouseMoveEvent(QMouseEvent *event)
{
    report(&CaptionLabel::MouseMove, event, event->buttons());
}

void CaptionLabel::mouseReleaseEvent(QMouseEvent *event)
{
    report(&CaptionLabel::MouseUp, event, event->button());
    const bool swallow = std::exchange(m_swallowNextClick, false);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && !swallow)
        emit Click();
}

void CaptionLabel::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_swallowNextClick = true;
    emit DblClick();
}
