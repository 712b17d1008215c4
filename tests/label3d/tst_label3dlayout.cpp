#include "Label3D.h"
#include "RecordingHost.h"
#include "Twips.h"

#include <QtTest>

namespace {

struct Rect
{
    float left, top, width, height;
};

void compareGeometry(const CaptionLabel *label, const Rect &r)
{
    QCOMPARE(label->Left(), r.left);
    QCOMPARE(label->Top(), r.top);
    QCOMPARE(label->Width(), r.width);
    QCOMPARE(label->Height(), r.height);
    QCOMPARE(label->geometry(), Twips::rect(r.left, r.top, r.width, r.height));
}

// Clicks where the pointer would land on the control: on whichever part lies
// topmost under that pixel, as the window system would deliver it.
void clickAt(Label3D &control, QPoint pixel)
{
    QWidget *target = control.childAt(pixel);
    if (!target)
        target = &control;
    QTest::mouseClick(target, Qt::LeftButton, {}, target->mapFrom(&control, pixel));
}

} // namespace

class TestLabel3DLayout : public QObject
{
    Q_OBJECT

private slots:
    void minimumSize_data();
    void minimumSize();
    void phasePlacesCaptions_data();
    void phasePlacesCaptions();
    void phaseAboveThreeKeepsLastPlacement();
    void backOnlyStripsRaiseNothing_data();
    void backOnlyStripsRaiseNothing();
    void borderInPhase_data();
    void borderInPhase();
};

void TestLabel3DLayout::minimumSize_data()
{
    QTest::addColumn<bool>("reenter");
    QTest::addColumn<float>("width");
    QTest::addColumn<float>("height");
    QTest::addColumn<float>("expectedWidth");
    QTest::addColumn<float>("expectedHeight");

    for (bool reenter : {false, true}) {
        const char *host = reenter ? "host re-enters" : "host waits";
        QTest::addRow("50 x 50, %s", host) << reenter << 50.0f << 50.0f << 100.0f << 100.0f;
        QTest::addRow("exactly 100 x 100, %s", host) << reenter << 100.0f << 100.0f << 100.0f << 100.0f;
        QTest::addRow("99.5 wide, %s", host) << reenter << 99.5f << 3000.0f << 100.0f << 3000.0f;
        QTest::addRow("20 high, %s", host) << reenter << 3000.0f << 20.0f << 3000.0f << 100.0f;
        QTest::addRow("splash size, %s", host) << reenter << 3375.0f << 375.0f << 3375.0f << 375.0f;
    }
}

void TestLabel3DLayout::minimumSize()
{
    QFETCH(bool, reenter);
    QFETCH(float, width);
    QFETCH(float, height);
    QFETCH(float, expectedWidth);
    QFETCH(float, expectedHeight);

    RecordingHost host;
    auto control = host.makeControl(reenter);
    control->SetExtent(width, height);
    if (!reenter)
        control->Resize();

    QCOMPARE(control->Width(), expectedWidth);
    QCOMPARE(control->Height(), expectedHeight);
    QCOMPARE(control->size(), Twips::size(expectedWidth, expectedHeight));
    compareGeometry(control->Label1(), {Label3D::Step, Label3D::Step, expectedWidth, expectedHeight});
    compareGeometry(control->Label2(), {0, 0, expectedWidth, expectedHeight});
    QVERIFY(host.changes.isEmpty());
}

void TestLabel3DLayout::phasePlacesCaptions_data()
{
    QTest::addColumn<int>("phase");
    QTest::addColumn<QPointF>("back");
    QTest::addColumn<QPointF>("front");

    QTest::newRow("0: back right and down") << 0 << QPointF(15, 15) << QPointF(0, 0);
    QTest::newRow("1: back left and down") << 1 << QPointF(0, 15) << QPointF(15, 0);
    QTest::newRow("2: back right and up") << 2 << QPointF(15, 0) << QPointF(0, 15);
    QTest::newRow("3: back left and up") << 3 << QPointF(0, 0) << QPointF(15, 15);
}

void TestLabel3DLayout::phasePlacesCaptions()
{
    QFETCH(int, phase);
    QFETCH(QPointF, back);
    QFETCH(QPointF, front);

    RecordingHost host;
    // Start from the placement furthest away, so every coordinate must move.
    auto control = host.makeControl(true);
    control->SetPhase(3 - phase);
    control->SetPhase(phase);

    compareGeometry(control->Label1(), {float(back.x()), float(back.y()), 3375, 375});
    compareGeometry(control->Label2(), {float(front.x()), float(front.y()), 3375, 375});
    QCOMPARE(host.changes, QStringList({"Phase", "Phase"}));
}

void TestLabel3DLayout::phaseAboveThreeKeepsLastPlacement()
{
    RecordingHost host;
    auto control = host.makeControl(true);
    control->SetPhase(2);
    control->SetPhase(9);
    QCOMPARE(control->Phase(), 9);
    compareGeometry(control->Label1(), {15, 0, 3375, 375});
    compareGeometry(control->Label2(), {0, 15, 3375, 375});

    control->SetExtent(2000, 600);
    compareGeometry(control->Label1(), {15, 0, 2000, 600});
    compareGeometry(control->Label2(), {0, 15, 2000, 600});

    PropertyBag bag;
    control->WriteProperties(bag);
    QCOMPARE(bag.ReadProperty("Phase", PropertyValue::byte(0)).toByte(), quint8(9));
}

void TestLabel3DLayout::backOnlyStripsRaiseNothing_data()
{
    QTest::addColumn<int>("phase");
    QTest::addColumn<QPoint>("pixel");
    QTest::addColumn<bool>("raises");

    // 15 twips are one pixel: the strips are pixel column 0 and/or row 0.
    QTest::newRow("phase 0, top left corner") << 0 << QPoint(0, 0) << true;
    QTest::newRow("phase 1, left strip") << 1 << QPoint(0, 12) << false;
    QTest::newRow("phase 1, corner square") << 1 << QPoint(0, 0) << false;
    QTest::newRow("phase 1, next to the strip") << 1 << QPoint(1, 12) << true;
    QTest::newRow("phase 2, top strip") << 2 << QPoint(100, 0) << false;
    QTest::newRow("phase 2, below the strip") << 2 << QPoint(100, 1) << true;
    QTest::newRow("phase 3, left strip") << 3 << QPoint(0, 12) << false;
    QTest::newRow("phase 3, top strip") << 3 << QPoint(100, 0) << false;
    QTest::newRow("phase 3, inside") << 3 << QPoint(1, 1) << true;
    QTest::newRow("phase 3, bottom right pixel") << 3 << QPoint(224, 24) << true;
}

void TestLabel3DLayout::backOnlyStripsRaiseNothing()
{
    QFETCH(int, phase);
    QFETCH(QPoint, pixel);
    QFETCH(bool, raises);

    RecordingHost host;
    auto control = host.makeControl(true);
    control->SetPhase(phase);
    QSignalSpy clicks(control.get(), &Label3D::Click);
    int downs = 0;
    connect(control.get(), &Label3D::MouseDown, this, [&](qint16 &, qint16 &, float &, float &) { ++downs; });

    clickAt(*control, pixel);
    QCOMPARE(clicks.count(), raises ? 1 : 0);
    QCOMPARE(downs, raises ? 1 : 0);
}

void TestLabel3DLayout::borderInPhase_data()
{
    QTest::addColumn<int>("phase");
    QTest::addColumn<int>("left");   // pixel column of the left side, -1 when cut off
    QTest::addColumn<int>("top");
    QTest::addColumn<int>("right");
    QTest::addColumn<int>("bottom");

    // The splash size: 225 x 25 pixels.
    QTest::newRow("phase 0: on the four edges") << 0 << 0 << 0 << 224 << 24;
    QTest::newRow("phase 1: left inside, right cut") << 1 << 1 << 0 << -1 << 24;
    QTest::newRow("phase 2: top inside, bottom cut") << 2 << 0 << 1 << 224 << -1;
    QTest::newRow("phase 3: left and top inside only") << 3 << 1 << 1 << -1 << -1;
}

void TestLabel3DLayout::borderInPhase()
{
    QFETCH(int, phase);
    QFETCH(int, left);
    QFETCH(int, top);
    QFETCH(int, right);
    QFETCH(int, bottom);

    RecordingHost host;
    auto control = host.makeControl(true);
    control->SetCaption(QString()); // only the border and the background remain
    control->SetBackColor(0xFFFFFF);
    control->SetForeColor2(0x0000FF); // red
    control->SetBorderStyle(1);
    control->SetPhase(phase);

    const QImage image = control->grab().toImage();
    QCOMPARE(image.size(), QSize(225, 25));
    const auto red = [&](int x, int y) { return image.pixelColor(x, y) == QColor(Qt::red); };
    const int inset = phase == 0 ? 0 : 1;
    for (int col = 0; col < image.width(); ++col) {
        const bool border = col == left || col == right;
        QCOMPARE(red(col, 12), border);
    }
    for (int row = 0; row < image.height(); ++row) {
        const bool border = row == top || row == bottom;
        QCOMPARE(red(112, row), border);
    }
    if (phase == 3)
        QVERIFY(!red(0, 0) && red(inset, inset));
}

QTEST_MAIN(TestLabel3DLayout)
#include "tst_label3dlayout.moc"
