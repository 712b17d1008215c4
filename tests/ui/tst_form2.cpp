#include "Form2.h"
#include "Form2Layout.h"
#include "LayoutChecks.h"
#include "OleColor.h"
#include "SurfaceLabel.h"
#include "SurfaceLine.h"
#include "Twips.h"

#include <QFrame>
#include <QPushButton>
#include <QtTest>

namespace {

constexpr quint32 DefaultLine = 0x80000008; // window text

QColor at(const QImage &image, int x, int y)
{
    return image.pixelColor(x, y);
}

} // namespace

class TestForm2 : public QObject
{
    Q_OBJECT

private slots:
    void windowIsAFixedLayoutInASizableFrame();
    void everyRowIsDrawnOnceInItsStackingPlace();
    void labelsKeepTheirRowsTextsAndBoxes();
    void everythingFitsAndOnlyTheDrawingOverlaps();
    void shapesAndControlsSitInPlace();
    void drawingStacksFirstOnTop();
};

void TestForm2::windowIsAFixedLayoutInASizableFrame()
{
    Form2 help;
    QCOMPARE(help.windowTitle(), QString("Help"));
    QCOMPARE(help.size(), QSize(402, 329));
    QVERIFY(help.parentWidget() == nullptr);
    QVERIFY(help.testAttribute(Qt::WA_DeleteOnClose));
    QVERIFY(!(help.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(help.windowFlags() & Qt::WindowCloseButtonHint);
}

// Topmost first: each stacked name is drawn by exactly one row, and every
// row is stacked.
void TestForm2::everyRowIsDrawnOnceInItsStackingPlace()
{
    using namespace Form2Layout;
    Form2 help;
    const qsizetype rows = std::size(Labels) + std::size(Lines) + std::size(Shapes);
    QCOMPARE(qsizetype(std::size(Stacking)), rows);
    QCOMPARE(qsizetype(help.surface().count()), rows);
    for (int i = 0; i < help.surface().count(); ++i)
        QCOMPARE(help.surface().at(i).name(), QString::fromLatin1(Stacking[i]));
}

// In the window's dialog font, opaque; only "AMP" is centred over its box.
void TestForm2::labelsKeepTheirRowsTextsAndBoxes()
{
    Form2 help;
    for (const LabelRow &row : Form2Layout::Labels) {
        auto *label = dynamic_cast<SurfaceLabel *>(help.surface().find(row.name));
        QVERIFY2(label, row.name);
        QCOMPARE(label->bounds(help.surfaceScale()), Twips::rect(row.left, row.top, row.width, row.height));
        QCOMPARE(label->text(), QString::fromLatin1(row.text));
        QCOMPARE(label->font(), help.font());
        const bool centred = label->alignment() & Qt::AlignHCenter;
        QCOMPARE(centred, label->text() == "AMP");
    }
    QCOMPARE(dynamic_cast<SurfaceLabel *>(help.surface().find("htt"))->text(), QString("Schema di collegamento"));
}

// The texts above the drawing overlap only where they were drawn stacked;
// below them the wiring drawing's wires, boxes and labels cross by design.
// Nothing reaches out of the window.
void TestForm2::everythingFitsAndOnlyTheDrawingOverlaps()
{
    Form2 help;
    constexpr int DrawingTop = 160; // pixels
    QList<LaidOut> texts;
    QList<LaidOut> drawing;
    for (int i = 0; i < help.surface().count(); ++i) {
        const SurfaceItem &item = help.surface().at(i);
        const LaidOut box{item.name(), item.bounds(help.surfaceScale())};
        (box.box.top() < DrawingTop ? texts : drawing) << box;
    }
    for (QWidget *control : help.findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        drawing << LaidOut{control->objectName(), control->geometry()};

    QCOMPARE(texts.size(), 5);
    QCOMPARE(layoutFaults(help.rect(), texts, {{"Label2", "Label1"}, {"Label1", "Label3"}, {"Label3", "Label12"}}),
             QStringList());
    for (const LaidOut &part : drawing) {
        QVERIFY2(help.rect().contains(part.box), qPrintable(part.name));
        for (const LaidOut &text : texts)
            QVERIFY2(!text.box.intersects(part.box), qPrintable(text.name + " overlaps " + part.name));
    }
}

void TestForm2::shapesAndControlsSitInPlace()
{
    Form2 help;
    const SurfaceScale scale = help.surfaceScale();
    const QList<QPair<QString, QRect>> shapes = {
        {"Shape1", QRect(104, 192, 81, 97)}, {"Shape2", QRect(104, 192, 81, 25)},
        {"Shape4", QRect(104, 216, 81, 25)}, {"Shape3", QRect(104, 264, 81, 25)},
        {"Shape5", QRect(276, 216, 57, 57)}, // the circle, centred in its 65 x 57 box
    };
    for (const auto &[name, bounds] : shapes)
        QCOMPARE(help.surface().find(name)->bounds(scale), bounds);

    auto *button = help.controls().get<QPushButton>("Command1");
    QCOMPARE(button->geometry(), QRect(296, 304, 89, 25));
    QCOMPARE(button->text(), QString("Chiudi  Finestra"));
    auto *terminal = help.controls().get<QFrame>("OLE1");
    QCOMPARE(terminal->geometry(), QRect(112, 320, 25, 2));
    QCOMPARE(terminal->frameShape(), QFrame::Box);
}

// Rendered: the motor hides the wire ends inside it, the port's wires cross
// the "bit" labels, and the "gnd" label hides the start of the ground line.
void TestForm2::drawingStacksFirstOnTop()
{
    Form2 help;
    help.show();
    QVERIFY(QTest::qWaitForWindowExposed(&help));
    const QImage image = help.grab().toImage();
    const QColor motor(0x00, 0x00, 0x40);
    const QColor wire = OleColor::toColor(DefaultLine, help.palette());
    const QColor background = help.palette().color(QPalette::Window);

    QCOMPARE(at(image, 296, 232), motor);                       // end of Line10
    QCOMPARE(at(image, 288, 256), motor);                       // end of Line13
    QCOMPARE(at(image, 304, 232), motor);                       // Line17 inside the circle
    QCOMPARE(at(image, 304, 200), QColor(0x80, 0x40, 0x00));    // Line17 above it
    QCOMPARE(at(image, 220, 232), QColor(0xFF, 0xC0, 0x80));    // Line8, &H80C0FF
    QCOMPARE(at(image, 70, 208), wire);                         // Line1 over "bit0"
    QCOMPARE(at(image, 63, 296), background);                   // Line19 under "gnd"
    QCOMPARE(at(image, 80, 296), wire);                         // Line19 past it
}

QTEST_MAIN(TestForm2)
#include "tst_form2.moc"
