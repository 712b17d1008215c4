#include "Form1Layout.h"
#include "Form1Rig.h"
#include "GaugeRuler.h"
#include "LayoutChecks.h"
#include "PictureBox.h"
#include "SurfaceLabel.h"
#include "SurfaceLine.h"
#include "Twips.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QMap>
#include <QStyleOptionComboBox>
#include <algorithm>

// The main window's layout: what every layout must hold, checked over the
// table, and the few figures the window's behaviour relies on. Every control
// the window's code uses exists: the window would not open otherwise.

namespace {

QString textOf(QWidget *control)
{
    if (auto *button = qobject_cast<QAbstractButton *>(control))
        return button->text();
    if (auto *frame = qobject_cast<QGroupBox *>(control))
        return frame->title();
    if (auto *combo = qobject_cast<QComboBox *>(control))
        return combo->currentText();
    if (auto *box = qobject_cast<QLineEdit *>(control))
        return box->text();
    return QString();
}

QColor pixelOf(QWidget *widget, QPoint at)
{
    return widget->grab().toImage().pixelColor(at);
}

} // namespace

class TestForm1Layout : public QObject
{
    Q_OBJECT

private slots:
    void rowsAreBuiltWhereTheySayAndStay();
    void nothingOverlapsAndEverythingFits();
    void opensReadyToDriveInFullMode();
    void tabOrderFollowsTheTabIndexes();
    void addressesShowWholeInTheBox_data();
    void frameCaptionSitsOnTheTopBorder_data();
    void frameCaptionSitsOnTheTopBorder();
    void addressesShowWholeInTheBox();
    void rulerHasLongMediumAndShortTicks();
    void gaugeLineStaysUntilTheFirstSpeedStep();
};

// Checked after the user has dragged the frame larger: nothing moves.
void TestForm1Layout::rowsAreBuiltWhereTheySayAndStay()
{
    Rig rig;
    rig.show();
    rig.form->resize(500, 420);
    QCoreApplication::processEvents();

    for (const ControlRow &row : Form1Layout::Controls) {
        QWidget *control = rig.control(row.name);
        QCOMPARE(control->parentWidget(), row.container ? rig.control(row.container) : rig.form.get());
        QCOMPARE(control->geometry(), Twips::rect(row.left, row.top, row.width, row.height));
        QCOMPARE(textOf(control), QString::fromLatin1(row.text ? row.text : ""));
    }
    for (const LabelRow &row : Form1Layout::Labels) {
        QWidget *holder = row.container ? rig.control(row.container) : rig.form.get();
        auto *host = dynamic_cast<SurfaceHost *>(holder);
        QVERIFY(host);
        auto *label = dynamic_cast<SurfaceLabel *>(host->surface().find(row.name));
        QVERIFY2(label, row.name);
        QCOMPARE(label->bounds(host->surfaceScale()), Twips::rect(row.left, row.top, row.width, row.height));
        QCOMPARE(label->text(), QString::fromLatin1(row.text));
        QCOMPARE(label->font().pointSizeF(), row.font ? row.font->points : holder->font().pointSizeF());
    }
    // The ruler fills the gauge's box exactly; the link sits clear of every frame.
    QCOMPARE(rig.control("Picture1")->size(), GaugeRuler::image().size());
    QCOMPARE(rig.form->link().bounds(rig.form->surfaceScale()), QRect(52, 8, 165, 17));
}

void TestForm1Layout::nothingOverlapsAndEverythingFits()
{
    Rig rig;
    QList<QWidget *> containers{rig.form.get()};
    for (const ControlRow &row : Form1Layout::Controls) {
        if (row.kind == ControlKind::Frame)
            containers << rig.control(row.name);
    }
    for (QWidget *container : containers) {
        QList<LaidOut> boxes;
        for (const ControlRow &row : Form1Layout::Controls) {
            if (rig.control(row.name)->parentWidget() == container)
                boxes << LaidOut{row.name, rig.control(row.name)->geometry()};
        }
        auto *host = dynamic_cast<SurfaceHost *>(container);
        for (int i = 0; host && i < host->surface().count(); ++i) {
            const SurfaceItem &item = host->surface().at(i);
            boxes << LaidOut{item.name(), item.bounds(host->surfaceScale())};
        }
        // The designer's grid left these a pixel over each other (15 twips);
        // the window has always been drawn so.
        const QStringList faults = layoutFaults(
            container->rect(), boxes,
            {{"Command8(0)", "Command8(1)"}, {"Command8(2)", "Command8(3)"}, {"txtStepSec", "Label3(5)"}});
        const QString where = container == rig.form.get() ? QStringLiteral("the window") : container->objectName();
        QVERIFY2(faults.isEmpty(), qPrintable(where + ": " + faults.join("; ")));
    }
}

void TestForm1Layout::opensReadyToDriveInFullMode()
{
    Rig rig;
    QCOMPARE(rig.form->windowTitle(), QString("Quarnet V1.3"));
    QCOMPARE(rig.form->size(), QSize(240, 273));
    QVERIFY(!(rig.form->windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(rig.form->windowIcon().availableSizes().contains(QSize(32, 32)));

    QCOMPARE(rig.port.writes.size(), qsizetype(1));
    QCOMPARE(rig.port.writes[0].port, LptPort);
    QCOMPARE(rig.port.writes[0].value, 64);
    QCOMPARE(rig.state.StepSec, std::int16_t(1));
    QCOMPARE(rig.form->modes().FullStep, std::int16_t(-1));
    QCOMPARE(rig.form->modes().HalfStep, std::int16_t(0));
    QVERIFY(rig.control<QRadioButton>("Option1(1)")->isChecked());
    QVERIFY(!rig.control<QRadioButton>("Option1(0)")->isChecked());
    QVERIFY(rig.control("Command1")->isEnabled());
    QVERIFY(rig.control("Command3")->isEnabled());

    auto *combo = rig.control<QComboBox>("Combo1");
    QVERIFY(combo->isEditable());
    QCOMPARE(combo->count(), 3);
    QCOMPARE(combo->itemText(0), QString("&H278"));
    QCOMPARE(combo->itemText(1), QString("&H378"));
    QCOMPARE(combo->itemText(2), QString("&H3BC"));

    auto *steps = rig.control<QLineEdit>("txtStepSec");
    QCOMPARE(steps->font().family(), QString("Arial"));
    QCOMPARE(steps->font().pointSizeF(), 8.25);
    QCOMPARE(steps->palette().color(QPalette::Base), QColor(0xFF, 0xFF, 0xC0));
}

void TestForm1Layout::addressesShowWholeInTheBox_data()
{
    QTest::addColumn<QString>("address");
    for (const char *address : {"&H278", "&H378", "&H3BC", "&HDDD"})
        QTest::newRow(address) << QString::fromLatin1(address);
}

// At the box's own size (57 pixels) an address of five characters shows
// whole: the edit field lies clear of the arrow and holds the text without
// scrolling it.
void TestForm1Layout::addressesShowWholeInTheBox()
{
    QFETCH(QString, address);
    Rig rig;
    rig.show();
    auto *combo = rig.control<QComboBox>("Combo1");
    QCOMPARE(combo->width(), 57);
    QLineEdit *edit = combo->lineEdit();
    edit->setText(address);

    QStyleOptionComboBox option;
    option.initFrom(combo);
    option.editable = true;
    option.subControls = QStyle::SC_All;
    const QRect arrow = combo->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                       QStyle::SC_ComboBoxArrow, combo);
    QVERIFY2(edit->geometry().right() < arrow.left(),
             qPrintable(QStringLiteral("edit ends at %1, arrow starts at %2")
                            .arg(edit->geometry().right()).arg(arrow.left())));
    edit->setCursorPosition(0);
    const int start = edit->inputMethodQuery(Qt::ImCursorRectangle).toRect().center().x();
    edit->setCursorPosition(int(address.size()));
    const int end = edit->inputMethodQuery(Qt::ImCursorRectangle).toRect().center().x();
    QCOMPARE(end - start, edit->fontMetrics().horizontalAdvance(address));
    QVERIFY2(end < edit->width(), qPrintable(QString::number(end)));
}

void TestForm1Layout::frameCaptionSitsOnTheTopBorder_data()
{
    QTest::addColumn<QString>("frame");
    QTest::addColumn<int>("firstChildTop"); // pixels from the frame's top
    QTest::newRow("Frame2") << "Frame2" << 20;
    QTest::newRow("Frame3") << "Frame3" << 24;
    QTest::newRow("Frame4") << "Frame4" << 12; // the scale's "500"
}

// A frame's top border runs through its caption, inside the frame's own
// rectangle; a border drawn below the caption crossed the gauge's "500".
void TestForm1Layout::frameCaptionSitsOnTheTopBorder()
{
    QFETCH(QString, frame);
    QFETCH(int, firstChildTop);
    Rig rig;
    rig.show();
    auto *box = rig.control<QGroupBox>(qPrintable(frame));
    const QImage image = box->grab().toImage();
    const int column = image.width() - 10; // clear of the caption and the controls
    const QColor background = image.pixelColor(column, 0);
    int border = 0;
    while (border < image.height() && image.pixelColor(column, border) == background)
        ++border;

    const int captionHeight = QFontMetrics(box->font()).height();
    QVERIFY2(border > 0 && border < captionHeight,
             qPrintable(QStringLiteral("border at %1, caption %2 high").arg(border).arg(captionHeight)));
    QVERIFY(border < firstChildTop);
    int inkAboveBorder = 0;
    for (int y = 0; y < border; ++y) {
        for (int x = 0; x < column; ++x)
            inkAboveBorder += image.pixelColor(x, y) != background;
    }
    QVERIFY2(inkAboveBorder > 10, "the caption starts above the border line");
}

// The focus chain visits every control that takes the focus by tab, in the
// order of their rows' tab indexes.
void TestForm1Layout::tabOrderFollowsTheTabIndexes()
{
    Rig rig;
    QMap<QWidget *, int> tabIndex;
    for (const ControlRow &row : Form1Layout::Controls) {
        if (rig.control(row.name)->focusPolicy() & Qt::TabFocus)
            tabIndex.insert(rig.control(row.name), row.tabIndex);
    }
    QCOMPARE(tabIndex.size(), 12);
    QWidget *first = rig.control("Command1");
    QList<int> visited;
    QWidget *widget = first;
    do {
        if (tabIndex.contains(widget) && !visited.contains(tabIndex.value(widget)))
            visited << tabIndex.value(widget);
        widget = widget->nextInFocusChain();
    } while (widget != first);
    QCOMPARE(visited.size(), tabIndex.size());
    QVERIFY2(std::is_sorted(visited.begin(), visited.end()), qPrintable(QString::number(visited.size())));
}

void TestForm1Layout::rulerHasLongMediumAndShortTicks()
{
    const QImage ruler = GaugeRuler::image();
    QCOMPARE(ruler.size(), QSize(20, 126));
    QCOMPARE(ruler.pixelColor(19, 60), QColor(0xBF, 0xBF, 0xBF));

    QList<int> tickRows;
    for (int row = 0; row < ruler.height(); ++row) {
        int length = 0;
        while (length < ruler.width() && ruler.pixelColor(length, row) == Qt::black)
            ++length;
        for (int x = length; x < ruler.width(); ++x)
            QCOMPARE(ruler.pixelColor(x, row), QColor(0xBF, 0xBF, 0xBF));
        const int expected = row % 25 == 0                                         ? 19
            : QList<int>{13, 37, 62, 87, 112}.contains(row)                        ? 10
            : length > 0                                                           ? 5
                                                                                   : 0;
        QCOMPARE(length, expected);
        if (length > 0)
            tickRows << row;
    }
    // Ten divisions per interval of 25 rows, 2 and 3 rows apart in turn.
    QCOMPARE(tickRows.size(), 51);
    for (int i = 1; i < tickRows.size(); ++i) {
        const int gap = tickRows[i] - tickRows[i - 1];
        QVERIFY2(gap == 2 || gap == 3, qPrintable(QString("gap at row %1").arg(tickRows[i])));
        if (tickRows[i - 1] % 25 != 0)
            QVERIFY(gap != tickRows[i - 1] - tickRows[i - 2]);
    }
}

void TestForm1Layout::gaugeLineStaysUntilTheFirstSpeedStep()
{
    Rig rig;
    rig.show();
    auto *gauge = rig.control<PictureBox>("Picture1");
    const QColor red(0xFF, 0, 0);
    QCOMPARE(rig.form->gaugeLine().y1(), 1137.0);
    QCOMPARE(rig.form->gaugeLine().x1(), 120.0);
    QCOMPARE(rig.form->gaugeLine().x2(), 420.0);
    QCOMPARE(pixelOf(gauge, QPoint(10, 29)), red); // 1137 of 5000 over 126 rows

    rig.click("Command8(0)");
    QCOMPARE(rig.control<QLineEdit>("txtStepSec")->text(), QString("11"));
    const double y = float(4970 - 11 * 9.82);
    QCOMPARE(rig.form->gaugeLine().y1(), y);
    QCOMPARE(rig.form->gaugeLine().y2(), y);
    QCOMPARE(pixelOf(gauge, QPoint(10, 123)), red);
    QVERIFY(pixelOf(gauge, QPoint(10, 29)) != red);
    QCOMPARE(rig.port.writes.size(), qsizetype(1));
}

QTEST_MAIN(TestForm1Layout)
#include "tst_form1layout.moc"
