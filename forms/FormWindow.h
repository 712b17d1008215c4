#pragma once

#include "Surface.h"

#include <QWidget>

// A top-level window laid out in twips. Its client area starts at the given
// size inside a sizable frame whose maximize button is switched off; the
// controls stay where the layout puts them whatever size the user drags the
// frame to. Windowless items are painted on its surface beneath the controls.
class FormWindow : public QWidget, public SurfaceHost
{
    Q_OBJECT

public:
    FormWindow(const QString &caption, int clientWidth, int clientHeight, QWidget *parent = nullptr);

    Surface &surface() override { return m_surface; }
    SurfaceScale surfaceScale() const override { return SurfaceScale::twips(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Surface m_surface;
};
