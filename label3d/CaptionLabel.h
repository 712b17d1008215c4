#pragma once

#include "StdFont.h"

#include <QLabel>
#include <QMetaObject>

// One of the two caption labels of Label3D (the back `Label1`, the front
// `Label2`). It keeps its rectangle in twips as single-precision values and
// turns it into pixels only when it places itself. Its background is never
// painted, so whatever lies below shows around the text.
//
// Mouse events are reported with the original's parameters: Button and
// Shift as bit masks (1 left, 2 right, 4 middle; 1 shift, 2 control, 4 alt),
// x and y in twips inside the label. They are passed by reference so that
// handlers on a direct connection can change the label's own variables.
class CaptionLabel : public QLabel
{
    Q_OBJECT

public:
    explicit CaptionLabel(QWidget *parent);

    float Left() const { return m_left; }
    float Top() const { return m_top; }
    float Width() const { return m_width; }
    float Height() const { return m_height; }
    void SetLeft(float twips);
    void SetTop(float twips);
    void SetWidth(float twips);
    void SetHeight(float twips);

    QString Caption() const { return text(); }
    void SetCaption(const QString &caption);

    quint32 ForeColor() const { return m_foreColor; }
    void SetForeColor(quint32 color);

    // Both throw Label3DError for a value the label does not know, before
    // changing anything.
    qint16 Alignment() const { return m_alignment; }
    void SetAlignment(qint16 alignment);
    qint16 BorderStyle() const { return m_borderStyle; }
    void SetBorderStyle(qint16 style);

    FontRef Font() const { return m_font; }
    // Throws Label3DError when given no font object.
    void SetFont(const FontRef &font);

signals:
    void Click();
    void DblClick();
    void MouseDown(qint16 &Button, qint16 &Shift, float &x, float &y);
    void MouseMove(qint16 &Button, qint16 &Shift, float &x, float &y);
    void MouseUp(qint16 &Button, qint16 &Shift, float &x, float &y);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    using MouseSignal = void (CaptionLabel::*)(qint16 &, qint16 &, float &, float &);
    void report(MouseSignal signal, QMouseEvent *event, int buttons);
    void place();
    void applyFont();
    void applyForeColor();

    float m_left = 0;
    float m_top = 0;
    float m_width = 0;
    float m_height = 0;
    quint32 m_foreColor = 0;
    qint16 m_alignment = 0;
    qint16 m_borderStyle = 0;
    FontRef m_font;
    QMetaObject::Connection m_fontWatch;
    // A double click already told the host; the release ending it is no
    // second Click.
    bool m_swallowNextClick = false;
};
