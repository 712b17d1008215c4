#pragma once

#include "Surface.h"

#include <QImage>
#include <QWidget>

// A borderless box showing a picture at its top-left corner, with a user
// coordinate scale: (0, 0) at the top-left, (scaleWidth, scaleHeight) at the
// bottom-right, whatever its pixel size. Its items live in that scale and are
// clipped to the box.
class PictureBox : public QWidget, public SurfaceHost
{
    Q_OBJECT

public:
    explicit PictureBox(QWidget *parent = nullptr);

    void setPicture(const QImage &picture);
    const QImage &picture() const { return m_picture; }
    void setScale(double scaleWidth, double scaleHeight);

    Surface &surface() override { return m_surface; }
    SurfaceScale surfaceScale() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QImage m_picture;
    double m_scaleWidth = 0;
    double m_scaleHeight = 0;
    Surface m_surface;
};
