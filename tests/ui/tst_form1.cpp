#include "Form1Rig.h"
#include "Form2.h"
#include "SurfaceLabel.h"
#include "SurfaceLine.h"
#include "WindowClicks.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

// What the main window's controls do: the bytes on the port, the address
// box, the steps box, the link and the help window.

namespace {

// The user's moves as letters: R starts a run, whose event passes then take
// one letter each until S (Stop) has been played. Outside a run a letter is
// one click. H/F: "Half"/"Full"; +: speed "+"; ?: help; .: a pass with no
// user action; ^: the Up arrow key on "Full", which selects "Half".
void play(Rig &rig, const QString &moves)
{
    static const QHash<QChar, const char *> buttons = {
        {'H', "Option1(0)"}, {'F', "Option1(1)"}, {'S', "Command3"}, {'+', "Command8(1)"},
        {'?', "Command4"},
    };
    int i = 0;
    while (i < moves.size()) {
        const QChar move = moves.at(i++);
        if (move == '^') {
            rig.control("Option1(1)")->setFocus();
            QTest::keyClick(rig.control("Option1(1)"), Qt::Key_Up);
            continue;
        }
        if (move != 'R') {
            rig.click(buttons.value(move));
            continue;
        }
        rig.pump.script.clear();
        rig.pump.passes = 0;
        while (i < moves.size()) {
            const QChar pass = moves.at(i++);
            rig.pump.then([&rig, pass] {
                if (pass != '.')
                    rig.click(buttons.value(pass));
            });
            if (pass == 'S')
                break;
        }
        rig.click("Command1");
    }
}

} // namespace

class TestForm1 : public QObject
{
    Q_OBJECT

private slots:
    void buttonsDriveThePort_data();
    void buttonsDriveThePort();
    void addressBoxMovesTheNextWrite_data();
    void addressBoxMovesTheNextWrite();
    void addressTypedDuringARunMovesTheNextStep();
    void stepsBoxTypingChangesNothing();
    void linkFollowsTheMouse_data();
    void linkFollowsTheMouse();
    void linkClickOpensTheHomePage();
    void addressListFollowsTheText();
    void linkOpensOncePerClickAndOncePerDoubleClick();
    void helpWindowIsSingleAndMadeAfresh();
};

void TestForm1::buttonsDriveThePort_data()
{
    QTest::addColumn<QString>("moves");
    QTest::addColumn<QList<int>>("bytes");

    QTest::newRow("start, two steps, stop") << "R..S" << QList<int>{68, 66, 64};
    QTest::newRow("stop at the first pass") << "RS" << QList<int>{64};
    QTest::newRow("stop while idle writes nothing") << "S" << QList<int>{};
    QTest::newRow("Half then Start") << "HR.S" << QList<int>{70, 64};
    QTest::newRow("Full during a Half run") << "HR.FS" << QList<int>{70, 66, 64};
    QTest::newRow("Half chosen with the arrow key") << "^R.S" << QList<int>{70, 64};
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
    const QList<int> written = rig.port.values(1);
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
    QCOMPARE(rig.port.writes.size(), qsizetype(1));

    play(rig, "R.S");
    QCOMPARE(rig.port.writes.size(), qsizetype(3));
    QCOMPARE(rig.port.writes[1].port, port);
    QCOMPARE(rig.port.writes[2].port, port);
}

// The list stands where the box's text stands: opening it highlights the
// entry that matches, and Down moves on to the entry after that one.
void TestForm1::addressListFollowsTheText()
{
    Rig rig;
    rig.show();
    auto *combo = rig.control<QComboBox>("Combo1");
    QLineEdit *edit = combo->lineEdit();
    const auto highlighted = [combo] {
        combo->showPopup();
        const QString text = combo->view()->currentIndex().data().toString();
        combo->hidePopup();
        return text;
    };

    QCOMPARE(highlighted(), QString("&H378"));
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Down);
    QCOMPARE(edit->text(), QString("&H3BC"));
    QCOMPARE(rig.state.PortAddress, QString("&H3BC"));

    edit->selectAll();
    QTest::keyClicks(edit, "&H278");
    QCOMPARE(highlighted(), QString("&H278"));
    QTest::keyClick(edit, Qt::Key_Down);
    QCOMPARE(edit->text(), QString("&H378"));
    QCOMPARE(rig.state.PortAddress, QString("&H378"));
}

void TestForm1::addressTypedDuringARunMovesTheNextStep()
{
    Rig rig;
    rig.show();
    QLineEdit *edit = rig.control<QComboBox>("Combo1")->lineEdit();
    rig.pump.then([] {});
    rig.pump.then([edit] {
        edit->selectAll();
        QTest::keyClicks(edit, "&H278");
    });
    rig.pump.then([&rig] { rig.click("Command3"); });
    rig.click("Command1");

    QCOMPARE(rig.port.writes.size(), qsizetype(5));
    QCOMPARE(rig.port.writes[1].port, LptPort);
    QCOMPARE(rig.port.writes[2].port, 0x278);
    QCOMPARE(rig.port.writes[2].value, 66);
    QCOMPARE(rig.port.writes[3].port, 0x278);
    // The port the run left behind has its winding switched off too.
    QCOMPARE(rig.port.writes[4].port, LptPort);
    QCOMPARE(rig.port.writes[4].value, 64);
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
    QCOMPARE(rig.port.writes.size(), qsizetype(1));
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

// A double click comes as press, release, double-click, release, and is one
// Click followed by a DblClick: the page opens once for it, not twice.
void TestForm1::linkOpensOncePerClickAndOncePerDoubleClick()
{
    Rig rig;
    rig.show();
    auto *trail = new WindowClicks::MouseTrail(rig.form.get());
    const QPoint onLink(60, 14);

    WindowClicks::click(rig.form.get(), onLink);
    QCOMPARE(rig.shell.opened.size(), 1);
    trail->events.clear();
    WindowClicks::doubleClick(rig.form.get(), onLink);
    QCOMPARE(trail->events, QStringList({"press", "release", "double-click", "release"}));
    QCOMPARE(rig.shell.opened.size(), 2);
    WindowClicks::click(rig.form.get(), onLink);
    QCOMPARE(rig.shell.opened.size(), 3);
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
    QTest::mouseClick(first->controls().get<QPushButton>("Command1"), Qt::LeftButton);
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
    QCOMPARE(rig.port.writes.size(), qsizetype(1));
}

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
