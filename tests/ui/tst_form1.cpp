#include "Form1.h"
#include "Form2.h"
#include "FrameControl.h"
#include "GaugeRuler.h"
#include "PictureBox.h"
#include "SurfaceLabel.h"
#include "SurfaceLine.h"
#include "UiFakes.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>
#include <memory>

namespace {

constexpr int LptPort = 0x378;

// One main window with every service faked.
struct Rig
{
    DriveState state;
    RecordingPort port;
    ScriptedPump pump;
    ForbiddenProcess process;
    RecordingShell shell;
    std::unique_ptr<Form1> form;

    Rig()
    {
        form = std::make_unique<Form1>(state, port, pump, process, shell);
        pump.fallback = [this] { control<QPushButton>("Command3")->click(); };
    }

    template <class T = QWidget>
    T *control(const char *name) const
    {
        return form->findChild<T *>(QString::fromLatin1(name));
    }

    void click(const char *name) const { QTest::mouseClick(control(name), Qt::LeftButton); }

    void show() const
    {
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    }
};

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

// The user's moves as letters: R starts a run, whose event passes then take
// one letter each until S (Stop) has been played. Outside a run a letter is
// one click. H/F: "Half"/"Full"; +: speed "+"; ?: help; .: a pass with no
// user action.
void play(Rig &rig, const QString &moves)
{
    static const QHash<QChar, const char *> buttons = {
        {'H', "Option1(0)"}, {'F', "Option1(1)"}, {'S', "Command3"}, {'+', "Command8(1)"},
        {'?', "Command4"},
    };
    int i = 0;
    while (i < moves.size()) {
        const QChar move = moves.at(i++);
        if (move != 'R') {
            rig.click(buttons.value(move));
            continue;
        }
        rig.pump.script.clear();
        rig.pump.passes = 0;
        while (i < moves.size()) {
            const QChar pass = moves.at(i++);
            rig.pump.script.push_back([&rig, pass] {
                if (pass != '.')
                    rig.click(buttons.value(pass));
            });
            if (pass == 'S')
                break;
        }
        rig.click("Command1");
    }
}

QColor pixelOf(QWidget *widget, QPoint at)
{
    return widget->grab().toImage().pixelColor(at);
}

} // namespace

class TestForm1 : public QObject
{
    Q_OBJECT

private slots:
    void controlsKeepTheirLayoutPlace_data();
    void controlsKeepTheirLayoutPlace();
    void scaleLabelsAndLinkSitOnTheirContainers_data();
    void scaleLabelsAndLinkSitOnTheirContainers();
    void opensReadyToDriveInFullMode();
    void tabOrderFollowsTheTabIndexes();
    void rulerHasLongMediumAndShortTicks();
    void gaugeLineStaysUntilTheFirstSpeedStep();
    void buttonsDriveThePort_data();
    void buttonsDriveThePort();
    void addressBoxMovesTheNextWrite_data();
    void addressBoxMovesTheNextWrite();
    void addressTypedDuringARunMovesTheNextStep();
    void stepsBoxTypingChangesNothing();
    void linkFollowsTheMouse_data();
    void linkFollowsTheMouse();
    void linkClickOpensTheHomePage();
    void helpWindowIsSingleAndMadeAfresh();
};

void TestForm1::controlsKeepTheirLayoutPlace_data()
{
    QTest::addColumn<QString>("container");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("text");

    QTest::newRow("Command1") << "" << QRect(16, 212, 65, 25) << "Start";
    QTest::newRow("Command2") << "" << QRect(176, 212, 53, 25) << "Chiudi";
    QTest::newRow("Command3") << "" << QRect(96, 212, 65, 25) << "Stop";
    QTest::newRow("Command4") << "" << QRect(160, 172, 41, 17) << "?";
    QTest::newRow("Frame2") << "" << QRect(136, 32, 89, 69) << "Step";
    QTest::newRow("Option1(0)") << "Frame2" << QRect(20, 20, 41, 17) << "Half";
    QTest::newRow("Option1(1)") << "Frame2" << QRect(20, 44, 41, 17) << "Full";
    QTest::newRow("Frame3") << "" << QRect(136, 108, 89, 57) << "Address LPT";
    QTest::newRow("Combo1") << "Frame3" << QRect(16, 24, 57, 21) << "&H378";
    QTest::newRow("Frame4") << "" << QRect(12, 28, 113, 177) << "Speps/sec";
    QTest::newRow("Command8(0)") << "Frame4" << QRect(12, 20, 21, 29) << "++";
    QTest::newRow("Command8(1)") << "Frame4" << QRect(12, 48, 21, 29) << "+";
    QTest::newRow("Command8(2)") << "Frame4" << QRect(12, 84, 21, 29) << "-";
    QTest::newRow("Command8(3)") << "Frame4" << QRect(12, 112, 21, 29) << "--";
    QTest::newRow("txtStepSec") << "Frame4" << QRect(32, 152, 45, 17) << "1";
    QTest::newRow("Picture1") << "Frame4" << QRect(52, 20, 20, 126) << "";
}

// Checked after the user has dragged the frame larger: nothing moves.
void TestForm1::controlsKeepTheirLayoutPlace()
{
    QFETCH(QString, container);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);
    Rig rig;
    rig.show();
    rig.form->resize(500, 420);
    QCoreApplication::processEvents();

    QWidget *control = rig.control(QTest::currentDataTag());
    QVERIFY(control);
    QWidget *expectedParent = container.isEmpty() ? rig.form.get() : rig.control(qPrintable(container));
    QCOMPARE(control->parentWidget(), expectedParent);
    QCOMPARE(control->geometry(), geometry);
    QCOMPARE(textOf(control), text);
}

void TestForm1::scaleLabelsAndLinkSitOnTheirContainers_data()
{
    QTest::addColumn<QString>("container");
    QTest::addColumn<QRect>("bounds");
    QTest::addColumn<QString>("text");
    QTest::addColumn<qreal>("points");

    QTest::newRow("Label3(0)") << "Frame4" << QRect(76, 12, 17, 17) << "500" << 6.75;
    QTest::newRow("Label3(2)") << "Frame4" << QRect(76, 40, 17, 17) << "400" << 6.75;
    QTest::newRow("Label3(3)") << "Frame4" << QRect(76, 64, 17, 17) << "300" << 6.75;
    QTest::newRow("Label3(4)") << "Frame4" << QRect(76, 88, 17, 17) << "200" << 6.75;
    QTest::newRow("Label3(1)") << "Frame4" << QRect(76, 116, 17, 17) << "100" << 6.75;
    QTest::newRow("Label3(5)") << "Frame4" << QRect(76, 140, 9, 17) << "0" << 6.75;
    QTest::newRow("Label4") << "" << QRect(52, 8, 165, 17) << "http://www.example.org/quarnet"
                            << 8.25;
}

void TestForm1::scaleLabelsAndLinkSitOnTheirContainers()
{
    QFETCH(QString, container);
    QFETCH(QRect, bounds);
    QFETCH(QString, text);
    QFETCH(qreal, points);
    Rig rig;

    QWidget *holder = container.isEmpty() ? rig.form.get() : rig.control(qPrintable(container));
    auto *host = dynamic_cast<SurfaceHost *>(holder);
    QVERIFY(host);
    auto *label = dynamic_cast<SurfaceLabel *>(host->surface().find(QTest::currentDataTag()));
    QVERIFY(label);
    QCOMPARE(label->bounds(host->surfaceScale()), bounds);
    QCOMPARE(label->text(), text);
    QCOMPARE(label->font().pointSizeF(), points);
}

void TestForm1::opensReadyToDriveInFullMode()
{
    Rig rig;
    QCOMPARE(rig.form->windowTitle(), QString("Quarnet V1.3"));
    QCOMPARE(rig.form->size(), QSize(240, 273));
    QVERIFY(!(rig.form->windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(rig.form->windowIcon().availableSizes().contains(QSize(32, 32)));

    QCOMPARE(rig.port.writes.size(), std::size_t(1));
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

void TestForm1::tabOrderFollowsTheTabIndexes()
{
    Rig rig;
    const QStringList expected = {"Command1",    "Command2",    "Command3",    "Command4",
                                  "Option1(0)",  "Combo1",      "Option1(1)",  "Command8(0)",
                                  "Command8(1)", "Command8(2)", "Command8(3)", "txtStepSec"};
    QStringList chain;
    QWidget *widget = rig.control("Command1");
    do {
        if (expected.contains(widget->objectName()) && !chain.contains(widget->objectName()))
            chain << widget->objectName();
        widget = widget->nextInFocusChain();
    } while (widget != rig.control("Command1"));
    QCOMPARE(chain, expected);
}

void TestForm1::rulerHasLongMediumAndShortTicks()
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

void TestForm1::gaugeLineStaysUntilTheFirstSpeedStep()
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
    QCOMPARE(rig.port.writes.size(), std::size_t(1));
}

void TestForm1::buttonsDriveThePort_data()
{
    QTest::addColumn<QString>("moves");
    QTest::addColumn<QList<int>>("bytes");

    QTest::newRow("start, two steps, stop") << "R..S" << QList<int>{68, 66, 64};
    QTest::newRow("stop at the first pass") << "RS" << QList<int>{64};
    QTest::newRow("stop while idle writes nothing") << "S" << QList<int>{};
    QTest::newRow("Half then Start") << "HR.S" << QList<int>{70, 64};
    QTest::newRow("Full during a Half run") << "HR.FS" << QList<int>{70, 66, 64};
    QTest::newRow("a new run goes on with the next phase")
        << "R.SR...S" << QList<int>{68, 64, 66, 72, 65, 64};
    QTest::newRow("speed steps during a run write nothing") << "R+.S" << QList<int>{68, 66, 64};
    QTest::newRow("help window during a run") << "R?.S" << QList<int>{68, 66, 64};
}

void TestForm1::buttonsDriveThePort()
{
    QFETCH(QString, moves);
    QFETCH(QList<int>, bytes);
    Rig rig;
    rig.show();

    play(rig, moves);

    QVERIFY(!rig.pump.overran);
    const std::vector<int> written = rig.port.values(1);
    QCOMPARE(QList<int>(written.begin(), written.end()), bytes);
    for (const auto &write : rig.port.writes)
        QCOMPARE(write.port, LptPort);
    QVERIFY(rig.control("Command1")->isEnabled());
    QVERIFY(!rig.control("Command3")->isEnabled());
}

void TestForm1::addressBoxMovesTheNextWrite_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("picked");
    QTest::addColumn<int>("port");

    QTest::newRow("typed &H278") << "&H278" << -1 << 0x278;
    QTest::newRow("typed &H3BC") << "&H3BC" << -1 << 0x3BC;
    QTest::newRow("picked &H278") << "" << 0 << 0x278;
    QTest::newRow("picked &H3BC") << "" << 2 << 0x3BC;
}

void TestForm1::addressBoxMovesTheNextWrite()
{
    QFETCH(QString, typed);
    QFETCH(int, picked);
    QFETCH(int, port);
    Rig rig;
    rig.show();
    auto *combo = rig.control<QComboBox>("Combo1");

    if (picked >= 0) {
        combo->showPopup();
        QAbstractItemView *list = combo->view();
        QTRY_VERIFY(list->isVisible());
        const QRect entry = list->visualRect(list->model()->index(picked, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, entry.center());
    } else {
        combo->lineEdit()->selectAll();
        // Every keystroke reaches the drive, partly typed text included.
        for (QChar key : typed) {
            QTest::keyClick(combo->lineEdit(), key.toLatin1());
            QCOMPARE(rig.state.PortAddress, combo->lineEdit()->text());
        }
    }
    QCOMPARE(rig.port.writes.size(), std::size_t(1));

    play(rig, "R.S");
    QCOMPARE(rig.port.writes.size(), std::size_t(3));
    QCOMPARE(rig.port.writes[1].port, port);
    QCOMPARE(rig.port.writes[2].port, port);
}

void TestForm1::addressTypedDuringARunMovesTheNextStep()
{
    Rig rig;
    rig.show();
    QLineEdit *edit = rig.control<QComboBox>("Combo1")->lineEdit();
    rig.pump.script = {
        [] {},
        [edit] {
            edit->selectAll();
            QTest::keyClicks(edit, "&H278");
        },
        [&rig] { rig.click("Command3"); },
    };
    rig.click("Command1");

    QCOMPARE(rig.port.writes.size(), std::size_t(4));
    QCOMPARE(rig.port.writes[1].port, LptPort);
    QCOMPARE(rig.port.writes[2].port, 0x278);
    QCOMPARE(rig.port.writes[2].value, 66);
    QCOMPARE(rig.port.writes[3].port, 0x278);
}

void TestForm1::stepsBoxTypingChangesNothing()
{
    Rig rig;
    rig.show();
    auto *steps = rig.control<QLineEdit>("txtStepSec");
    steps->selectAll();
    QTest::keyClicks(steps, "250");
    QCOMPARE(steps->text(), QString("250"));
    QCOMPARE(rig.state.StepSec, std::int16_t(1));
    QCOMPARE(rig.port.writes.size(), std::size_t(1));
    QCOMPARE(rig.form->gaugeLine().y1(), 1137.0);

    rig.click("Command8(1)");
    QCOMPARE(rig.state.StepSec, std::int16_t(2));
    QCOMPARE(steps->text(), QString("2"));
}

void TestForm1::linkFollowsTheMouse_data()
{
    QTest::addColumn<QStringList>("path");
    QTest::addColumn<quint32>("colour");
    QTest::addColumn<bool>("underlined");

    QTest::newRow("before any move") << QStringList{} << quint32(0xC00000) << false;
    QTest::newRow("over the link") << QStringList{"link"} << quint32(0xFF0000) << true;
    QTest::newRow("link, then bare surface")
        << QStringList{"link", "surface"} << quint32(0x800000) << false;
    QTest::newRow("link, then straight onto a frame")
        << QStringList{"link", "frame"} << quint32(0xFF0000) << true;
    QTest::newRow("link, then a button") << QStringList{"link", "button"} << quint32(0xFF0000)
                                         << true;
    QTest::newRow("bare surface only") << QStringList{"surface"} << quint32(0x800000) << false;
    QTest::newRow("a button only") << QStringList{"button"} << quint32(0xC00000) << false;
    QTest::newRow("link, button, surface, link")
        << QStringList{"link", "button", "surface", "link"} << quint32(0xFF0000) << true;
}

void TestForm1::linkFollowsTheMouse()
{
    QFETCH(QStringList, path);
    QFETCH(quint32, colour);
    QFETCH(bool, underlined);
    Rig rig;
    rig.show();
    const QHash<QString, QPoint> places = {
        {"link", QPoint(60, 14)},     // inside Label4
        {"surface", QPoint(120, 3)},  // above everything
        {"frame", QPoint(14, 60)},    // Frame4's edge, clear of its buttons
        {"button", QPoint(40, 220)},  // "Start"
    };
    for (const QString &place : path)
        QTest::mouseMove(rig.form.get(), places.value(place));

    QCOMPARE(quint32(rig.form->link().foreColour()), colour);
    QCOMPARE(rig.form->link().font().underline(), underlined);
}

void TestForm1::linkClickOpensTheHomePage()
{
    Rig rig;
    rig.show();
    rig.shell.fails = true;
    QTest::mouseClick(rig.form.get(), Qt::LeftButton, {}, QPoint(60, 14));
    QTest::mouseClick(rig.form.get(), Qt::LeftButton, {}, QPoint(120, 3));

    QCOMPARE(rig.shell.opened,
             QStringList{"http://www.example.org/quarnet"
                         "?SUBJECT=Esempio di ShellExecute per browser e E-Mail"});
    rig.click("Command8(1)");
    QCOMPARE(rig.state.StepSec, std::int16_t(2));
}

void TestForm1::helpWindowIsSingleAndMadeAfresh()
{
    Rig rig;
    rig.show();
    const auto helpWindows = [] {
        int count = 0;
        for (QWidget *window : QApplication::topLevelWidgets())
            count += qobject_cast<Form2 *>(window) && window->isVisible();
        return count;
    };

    rig.click("Command4");
    QPointer<Form2> first = rig.form->helpWindow();
    QVERIFY(first && first->isVisible());
    QVERIFY(first->parentWidget() == nullptr);
    rig.click("Command4");
    QCOMPARE(rig.form->helpWindow(), first.data());
    QCOMPARE(helpWindows(), 1);

    // "?" pressed again before the closed window's deletion has run.
    QTest::mouseClick(first->findChild<QPushButton *>("Command1"), Qt::LeftButton);
    rig.click("Command4");
    QTRY_VERIFY(first.isNull());
    QVERIFY(rig.form->helpWindow() && rig.form->helpWindow()->isVisible());
    QCOMPARE(helpWindows(), 1);

    QPointer<Form2> second = rig.form->helpWindow();
    second->close();
    QTRY_VERIFY(second.isNull());
    QCOMPARE(helpWindows(), 0);
    rig.click("Command4");
    QVERIFY(rig.form->helpWindow() && rig.form->helpWindow()->isVisible());
    QCOMPARE(rig.port.writes.size(), std::size_t(1));
}

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
