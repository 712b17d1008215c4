#pragma once

#include <QWidget>

// The control surface a host gives a hosted control: a size in twips (kept
// as single-precision values, turned into pixels only to place the widget),
// a background painted over the whole control, and repainting on request.
//
// Every size change, whether the host or the control itself made it, is
// announced at once through SizeChanged, so a host can answer it by running
// the control's Resize hook before the change returns.
class UserControl : public QWidget
{
    Q_OBJECT

public:
    explicit UserControl(QWidget *parent = nullptr);

    float Width() const { return m_width; }
    float Height() const { return m_height; }
    void SetWidth(float twips);
    void SetHeight(float twips);
    void SetExtent(float widthTwips, float heightTwips);

    quint32 BackColor() const { return m_backColor; }
    void SetBackColor(quint32 color);

    // Repaints the whole control now rather than at the next event pass.
    void Refresh();

signals:
    void SizeChanged();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void applySize();

    float m_width = 0;
    float m_height = 0;
    quint32 m_backColor = 0;
};
