#pragma once

#include "Surface.h"

#include <QGroupBox>

// A captioned frame. Child positions count from its outer top-left corner,
// caption included, and windowless items may sit on it like on a window.
class FrameControl : public QGroupBox, public SurfaceHost
{
    Q_OBJECT

public:
    explicit FrameControl(const QString &caption, QWidget *parent = nullptr);

    Surface &surface() override { return m_surface; }
    SurfaceScale surfaceScale() const override { return SurfaceScale::twips(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void paintBorder(QPainter &painter, const QFontMetrics &metrics, const QString &caption,
                     const QRect &border);

    Surface m_surface;
};
