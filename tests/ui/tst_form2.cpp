#include "Form2.h"
#include "OleColor.h"
#include "SurfaceLabel.h"
#include "SurfaceLine.h"

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
    void labelsShowTheirExactTexts_data();
    void labelsShowTheirExactTexts();
    void linesRunWhereTheDrawingSays_data();
    void linesRunWhereTheDrawingSays();
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
    QCOMPARE(help.surface().count(), 62);
}

void TestForm2::labelsShowTheirExactTexts_data()
{
    QTest::addColumn<QRect>("bounds");
    QTest::addColumn<QString>("text");

    QTest::newRow("htt") << QRect(4, 4, 325, 25) << "Schema di collegamento";
    QTest::newRow("Label12")
        << QRect(8, 136, 369, 25)
        << "I colori dei conduttori  di collegamento tra Amplificatore e Motore utilizzati nel "
           "seguente schema, sono reali del motore da me utilizzato.";
    QTest::newRow("Label3")
        << QRect(8, 96, 377, 49)
        << "Collegare le uscite della porta parallela ad un circuito  di potenza .Se non avete il "
           "circuito,inviatemi un E_mail all'indirizzo : quarnet@example.org";
    QTest::newRow("Label1")
        << QRect(8, 68, 361, 49)
        << "N.B. La velocita' di rotazione del motore dipende dal Processore utilizzato,dalla "
           "risposta in frequenza del circuito e dalla corrente .";
    QTest::newRow("Label2")
        << QRect(8, 40, 393, 49)
        << "I pin della porta parallela sono: bit0 - Pin 2    bit1 - Pin 3    bit2 - Pin 4    "
           "bit3 - Pin       GND - Pin 25 ";
    QTest::newRow("Label4") << QRect(8, 232, 25, 33) << "LPT";
    QTest::newRow("Label6") << QRect(40, 192, 33, 17) << "bit0";
    QTest::newRow("Label7") << QRect(40, 216, 33, 17) << "bit1";
    QTest::newRow("Label9") << QRect(40, 240, 33, 17) << "bit2";
    QTest::newRow("Label8") << QRect(40, 264, 33, 17) << "bit3";
    QTest::newRow("Label13") << QRect(40, 288, 25, 17) << "gnd";
    QTest::newRow("Label11") << QRect(56, 312, 73, 17) << "+ 6 to 40 v";
    QTest::newRow("Label5") << QRect(112, 168, 65, 17) << "AMP";
    QTest::newRow("Label10") << QRect(344, 232, 41, 25) << "Motore";
}

void TestForm2::labelsShowTheirExactTexts()
{
    QFETCH(QRect, bounds);
    QFETCH(QString, text);
    Form2 help;
    auto *label = dynamic_cast<SurfaceLabel *>(help.surface().find(QTest::currentDataTag()));
    QVERIFY(label);
    QCOMPARE(label->bounds(help.surfaceScale()), bounds);
    QCOMPARE(label->text(), text);
    QCOMPARE(label->font(), help.font());
    const bool centred = label->alignment() & Qt::AlignHCenter;
    QCOMPARE(centred, text == "AMP");
}

void TestForm2::linesRunWhereTheDrawingSays_data()
{
    QTest::addColumn<QLine>("pixels");
    QTest::addColumn<quint32>("colour");

    QTest::newRow("Line1") << QLine(40, 208, 104, 208) << quint32(DefaultLine);
    QTest::newRow("Line2") << QLine(40, 232, 104, 232) << quint32(DefaultLine);
    QTest::newRow("Line3") << QLine(40, 256, 104, 256) << quint32(DefaultLine);
    QTest::newRow("Line4") << QLine(40, 280, 104, 280) << quint32(DefaultLine);
    QTest::newRow("Line19") << QLine(40, 296, 120, 296) << quint32(DefaultLine);
    QTest::newRow("Line43") << QLine(120, 288, 120, 296) << quint32(DefaultLine);
    QTest::newRow("Line26") << QLine(136, 288, 136, 320) << quint32(DefaultLine);
    QTest::newRow("Line5") << QLine(184, 208, 264, 208) << quint32(DefaultLine);
    QTest::newRow("Line8") << QLine(184, 232, 264, 232) << quint32(0x80C0FF);
    QTest::newRow("Line7") << QLine(184, 256, 264, 256) << quint32(0x0000FF);
    QTest::newRow("Line9") << QLine(184, 280, 264, 280) << quint32(0x00FFFF);
    QTest::newRow("Line10") << QLine(264, 208, 296, 232) << quint32(DefaultLine);
    QTest::newRow("Line11") << QLine(264, 232, 280, 240) << quint32(0x80C0FF);
    QTest::newRow("Line12") << QLine(264, 256, 280, 248) << quint32(0x0000FF);
    QTest::newRow("Line13") << QLine(264, 280, 288, 256) << quint32(0x00FFFF);
    QTest::newRow("Line6") << QLine(296, 224, 296, 176) << quint32(0x80000005);
    QTest::newRow("Line17") << QLine(304, 224, 304, 176) << quint32(0x004080);
    QTest::newRow("Line15") << QLine(320, 224, 320, 192) << quint32(0x80000003);
    QTest::newRow("Line16") << QLine(328, 240, 328, 192) << quint32(0x80000002);
    QTest::newRow("Line18") << QLine(296, 176, 320, 176) << quint32(DefaultLine);
    QTest::newRow("Line28") << QLine(328, 168, 320, 176) << quint32(DefaultLine);
    QTest::newRow("Line27") << QLine(328, 168, 336, 176) << quint32(DefaultLine);
    QTest::newRow("Line29") << QLine(336, 176, 344, 168) << quint32(DefaultLine);
    QTest::newRow("Line30") << QLine(352, 176, 344, 168) << quint32(DefaultLine);
    QTest::newRow("Line31") << QLine(360, 168, 352, 176) << quint32(DefaultLine);
    QTest::newRow("Line32") << QLine(368, 176, 360, 168) << quint32(DefaultLine);
    QTest::newRow("Line34") << QLine(368, 176, 392, 176) << quint32(DefaultLine);
    QTest::newRow("Line14") << QLine(320, 192, 336, 192) << quint32(DefaultLine);
    QTest::newRow("Line35") << QLine(320, 192, 336, 192) << quint32(DefaultLine);
    QTest::newRow("Line37") << QLine(344, 184, 336, 192) << quint32(DefaultLine);
    QTest::newRow("Line36") << QLine(344, 184, 352, 192) << quint32(DefaultLine);
    QTest::newRow("Line38") << QLine(352, 192, 360, 184) << quint32(DefaultLine);
    QTest::newRow("Line39") << QLine(368, 192, 360, 184) << quint32(DefaultLine);
    QTest::newRow("Line40") << QLine(376, 184, 368, 192) << quint32(DefaultLine);
    QTest::newRow("Line41") << QLine(384, 192, 376, 184) << quint32(DefaultLine);
    QTest::newRow("Line42") << QLine(384, 192, 392, 192) << quint32(DefaultLine);
    QTest::newRow("Line33") << QLine(392, 216, 392, 176) << quint32(DefaultLine);
    QTest::newRow("Line20") << QLine(368, 216, 400, 216) << quint32(DefaultLine);
    QTest::newRow("Line22") << QLine(368, 216, 360, 224) << quint32(DefaultLine);
    QTest::newRow("Line21") << QLine(368, 224, 376, 216) << quint32(DefaultLine);
    QTest::newRow("Line23") << QLine(384, 216, 376, 224) << quint32(DefaultLine);
    QTest::newRow("Line24") << QLine(392, 216, 384, 224) << quint32(DefaultLine);
    QTest::newRow("Line25") << QLine(400, 216, 392, 224) << quint32(DefaultLine);
}

void TestForm2::linesRunWhereTheDrawingSays()
{
    QFETCH(QLine, pixels);
    QFETCH(quint32, colour);
    Form2 help;
    auto *line = dynamic_cast<SurfaceLine *>(help.surface().find(QTest::currentDataTag()));
    QVERIFY(line);
    const SurfaceScale scale = help.surfaceScale();
    QCOMPARE(QLine(scale.point(line->x1(), line->y1()), scale.point(line->x2(), line->y2())), pixels);
    QCOMPARE(quint32(line->colour()), colour);
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
