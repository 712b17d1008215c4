#include "FontFace.h"
#include "FrameControl.h"
#include "SurfaceFigure.h"
#include "SurfaceLabel.h"
#include "SurfaceLine.h"
#include "SurfaceShape.h"

#include <QApplication>
#include <QPainter>
#include <QtTest>

// Repaints of part of a container: what the live view of the outputs does
// 60 times a second. A part repainted must look as it does in a full paint.

namespace {

class CountingItem final : public SurfaceItem
{
public:
    CountingItem(QString name, QRect box) : SurfaceItem(std::move(name)), m_box(box) {}
    void paint(QPainter &, const SurfaceScale &, const QPalette &) const override { ++painted; }
    QRect bounds(const SurfaceScale &) const override { return m_box; }
    mutable int painted = 0;

private:
    QRect m_box;
};

QImage render(QWidget &widget, const QRegion &region = {})
{
    QImage image(widget.size(), QImage::Format_RGB32);
    image.fill(Qt::magenta);
    // The region's top-left lands at the offset given.
    const QRegion part = region.isEmpty() ? QRegion(widget.rect()) : region;
    widget.render(&image, part.boundingRect().topLeft(), part);
    return image;
}

// The box around every pixel that is not the background.
QRect ink(const QImage &image, QRgb background)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != background)
                box |= QRect(x, y, 1, 1);
    return box;
}

} // namespace

class TestSurfaceRepaint : public QObject
{
    Q_OBJECT

private slots:
    void onlyTheItemsARepaintTouches();
    void partOfAFramePaintsAsTheWhole_data();
    void partOfAFramePaintsAsTheWhole();
    void figureSitsWhereALabelWould();
    void partOfADiscPaintsAsTheWhole_data();
    void partOfADiscPaintsAsTheWhole();
};

void TestSurfaceRepaint::onlyTheItemsARepaintTouches()
{
    Surface surface;
    auto &left = surface.add(std::make_unique<CountingItem>("left", QRect(0, 0, 10, 10)));
    auto &right = surface.add(std::make_unique<CountingItem>("right", QRect(50, 0, 10, 10)));
    auto &line = surface.add(std::make_unique<CountingItem>("line", QRect(0, 30, 60, 0))); // a flat line's box
    QImage image(80, 80, QImage::Format_RGB32);
    QPainter painter(&image);
    surface.paint(painter, SurfaceScale::twips(), QPalette(), QRect(52, 2, 3, 3));
    QCOMPARE(left.painted, 0);
    QCOMPARE(right.painted, 1);
    surface.paint(painter, SurfaceScale::twips(), QPalette(), QRect(20, 30, 5, 1));
    QCOMPARE(line.painted, 1);
    surface.paint(painter, SurfaceScale::twips(), QPalette());
    QCOMPARE(left.painted, 1);
    QCOMPARE(right.painted, 2);
    QCOMPARE(line.painted, 2);
}

void TestSurfaceRepaint::partOfAFramePaintsAsTheWhole_data()
{
    QTest::addColumn<QRect>("part");
    QTest::newRow("inside, on a label") << QRect(20, 30, 40, 12);
    QTest::newRow("across the caption") << QRect(4, 2, 30, 14);
    QTest::newRow("across the border") << QRect(0, 40, 12, 12);
    QTest::newRow("below the caption, under its text") << QRect(8, 10, 20, 8);
}

void TestSurfaceRepaint::partOfAFramePaintsAsTheWhole()
{
    QFETCH(QRect, part);
    FrameControl frame(QStringLiteral("Linee"));
    frame.setFont(Fonts::dialog());
    frame.resize(120, 80);
    frame.surface().add(std::make_unique<SurfaceLabel>("l", 300, 450, 900, 255, "bit0 - Pin 2", Fonts::dialog(),
                                                       0x000000u, 0xFFFFFFu, true, Qt::AlignLeft));
    const QImage whole = render(frame);
    const QImage partly = render(frame, part);
    for (int y = part.top(); y <= part.bottom(); ++y)
        for (int x = part.left(); x <= part.right(); ++x)
            QVERIFY2(partly.pixel(x, y) == whole.pixel(x, y), qPrintable(QStringLiteral("at %1,%2").arg(x).arg(y)));
}

// Drawn from one image per character, a row of figures must still start
// and stand where the same text laid out as a label does.
void TestSurfaceRepaint::figureSitsWhereALabelWould()
{
    const QFont font = Fonts::dialog();
    const SurfaceLabel label("l", 150, 150, 1500, 255, "74 = &H4A", font, 0x000000u, 0xFFFFFFu, true, Qt::AlignLeft);
    const SurfaceFigure figure("f", 150, 150, 1500, 255, "74 = &H4A", font, 0x000000u, 0xFFFFFFu);
    QImage a(140, 40, QImage::Format_RGB32);
    QImage b(140, 40, QImage::Format_RGB32);
    a.fill(Qt::white);
    b.fill(Qt::white);
    {
        QPainter painter(&a);
        label.paint(painter, SurfaceScale::twips(), QPalette());
    }
    {
        QPainter painter(&b);
        figure.paint(painter, SurfaceScale::twips(), QPalette());
    }
    const QRect labelInk = ink(a, qRgb(255, 255, 255));
    const QRect figureInk = ink(b, qRgb(255, 255, 255));
    QVERIFY(!figureInk.isEmpty());
    QCOMPARE(figureInk.left(), labelInk.left());
    QCOMPARE(figureInk.top(), labelInk.top());
    QCOMPARE(figureInk.bottom(), labelInk.bottom());
    QVERIFY2(std::abs(figureInk.right() - labelInk.right()) <= 2, qPrintable(QString::number(figureInk.right() - labelInk.right())));
    QVERIFY(figureInk.bottom() < figure.bounds(SurfaceScale::twips()).bottom());
}

void TestSurfaceRepaint::partOfADiscPaintsAsTheWhole_data()
{
    QTest::addColumn<QRect>("part");
    QTest::addColumn<QRect>("alsoPart"); // a second rectangle of the same repaint
    QTest::addColumn<int>("diameterTwips");
    const QRect none;
    QTest::newRow("around the hand, inside the disc") << QRect(48, 48, 24, 24) << none << 1650;
    QTest::newRow("a corner at the outline") << QRect(20, 20, 30, 30) << none << 1650;
    QTest::newRow("across the outline") << QRect(2, 50, 30, 10) << none << 1650;
    QTest::newRow("a disc too small to hold it") << QRect(57, 57, 6, 6) << none << 90;
    QTest::newRow("a disc of odd size") << QRect(50, 50, 21, 19) << none << 1651;
    QTest::newRow("the hand and a pole, both inside") << QRect(48, 48, 24, 24) << QRect(50, 15, 20, 12) << 1650;
    QTest::newRow("the hand, and a pole across the outline") << QRect(48, 48, 24, 24) << QRect(50, 2, 20, 12)
                                                           << 1650;
    QTest::newRow("the hand, and a part beside the disc") << QRect(48, 48, 24, 24) << QRect(118, 2, 10, 10)
                                                        << 1650;
}

// A hand over a filled disc, as the live view draws the motor: a part
// repainted over either must look as the whole does.
void TestSurfaceRepaint::partOfADiscPaintsAsTheWhole()
{
    QFETCH(QRect, part);
    QFETCH(QRect, alsoPart);
    QFETCH(int, diameterTwips);
    FrameControl frame(QString{});
    frame.resize(130, 130);
    const double centre = 60 * 15;
    frame.surface().add(std::make_unique<SurfaceLine>("hand", centre, centre, centre + 300, centre - 200, 0x0000FFu));
    frame.surface().add(std::make_unique<SurfaceShape>("disc", ShapeKind::Circle, centre - diameterTwips / 2.0,
                                                       centre - diameterTwips / 2.0, diameterTwips, diameterTwips,
                                                       0x000000u, 0xFFFFFFu));
    const QImage whole = render(frame);
    const QRegion region = QRegion(part) | QRegion(alsoPart);
    const QImage partly = render(frame, region);
    for (const QRect &rect : region)
        for (int y = rect.top(); y <= rect.bottom(); ++y)
            for (int x = rect.left(); x <= rect.right(); ++x)
                QVERIFY2(partly.pixel(x, y) == whole.pixel(x, y),
                         qPrintable(QStringLiteral("at %1,%2").arg(x).arg(y)));
}

QTEST_MAIN(TestSurfaceRepaint)
#include "tst_surfacerepaint.moc"
