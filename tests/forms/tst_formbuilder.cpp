#include "ChildProcess.h"
#include "FormBuilder.h"
#include "FormWindow.h"
#include "FrameControl.h"
#include "SurfaceLabel.h"

#include <QApplication>
#include <QProcess>
#include <QPushButton>
#include <QtTest>
#include <cstring>

// A layout mistake must stop the window from being built, loudly: a control
// under a misspelt container used to become a stray top-level window, and a
// label on something without a surface vanished. Each broken layout is
// built in a child process, which must die with a message naming the row.

namespace {

constexpr ControlRow GoodFrame{"Frame1", ControlKind::Frame, nullptr, 0, 0, 900, 900, 0, "F"};
constexpr ControlRow Misspelt[] = {
    GoodFrame,
    {"Command1", ControlKind::Button, "Fram1", 60, 300, 600, 300, 1, "Go"},
};
constexpr ControlRow ContainerLater[] = {
    {"Command1", ControlKind::Button, "Frame1", 60, 300, 600, 300, 1, "Go"},
    GoodFrame,
};
constexpr ControlRow Plain[] = {
    GoodFrame,
    {"Command1", ControlKind::Button, nullptr, 60, 1000, 600, 300, 1, "Go"},
};
constexpr LabelRow OnButton[] = {
    {"Label1", "Command1", 0, 0, 300, 200, 2, "x"},
};
constexpr LabelRow InFrame[] = {
    {"Label1", "Frame1", 0, 0, 300, 200, 2, "x"},
};

// What each broken layout does in the child.
void buildBroken(const char *which)
{
    FormWindow window(QStringLiteral("w"), 3000, 3000);
    if (!std::strcmp(which, "misspelt"))
        FormBuilder::addControls(window, Misspelt);
    else if (!std::strcmp(which, "later"))
        FormBuilder::addControls(window, ContainerLater);
    else if (!std::strcmp(which, "nosurface"))
        FormBuilder::addLabels(FormBuilder::addControls(window, Plain), OnButton);
    QPushButton *button = nullptr;
    FormHandles handles;
    if (!std::strcmp(which, "unknown"))
        handles.bind("Command2", button);
    else if (!std::strcmp(which, "wrongkind"))
        handles.bind("Frame1", button);
    handles.checkAllMade(FormBuilder::addControls(window, Plain, &handles));
}

} // namespace

class TestFormBuilder : public QObject
{
    Q_OBJECT

private slots:
    void handlesAreTheControlsMade();
    void brokenLayoutStopsLoudly_data();
    void brokenLayoutStopsLoudly();
};

void TestFormBuilder::handlesAreTheControlsMade()
{
    FormWindow window(QStringLiteral("w"), 3000, 3000);
    FrameControl *frame = nullptr;
    QPushButton *button = nullptr;
    SurfaceLabel *label = nullptr;
    FrameControl *labelHost = nullptr;
    FormHandles handles;
    handles.bind("Frame1", frame).bind("Command1", button).bind("Label1", label, &labelHost);
    const FormControls controls = FormBuilder::addControls(window, Plain, &handles);
    FormBuilder::addLabels(controls, InFrame, &handles);
    handles.checkAllMade(controls);
    QCOMPARE(frame->parentWidget(), &window);
    QCOMPARE(button->parentWidget(), &window);
    QCOMPARE(button->text(), QStringLiteral("Go"));
    QCOMPARE(labelHost, frame);
    QCOMPARE(&frame->surface().at(0), label);
    QCOMPARE(label->text(), QStringLiteral("x"));
}

void TestFormBuilder::brokenLayoutStopsLoudly_data()
{
    QTest::addColumn<QString>("message");
    QTest::newRow("misspelt") << "\"Fram1\" names no control made before it";
    QTest::newRow("later") << "\"Frame1\" names no control made before it";
    QTest::newRow("nosurface") << "\"Command1\" carries no surface";
    QTest::newRow("unknown") << "\"Command2\" is asked for but made by no row";
    QTest::newRow("wrongkind") << "\"Frame1\" is not the kind of control";
}

void TestFormBuilder::brokenLayoutStopsLoudly()
{
    QFETCH(QString, message);
    QProcess child;
    QProcessEnvironment env = ChildProcess::environment();
    env.insert(QStringLiteral("FORMBUILDER_CHILD"), QString::fromLatin1(QTest::currentDataTag()));
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {});
    QVERIFY(child.waitForFinished(30000));
    const QString said = QString::fromLocal8Bit(child.readAllStandardError());
    QVERIFY2(child.exitStatus() == QProcess::CrashExit, qPrintable(said));
    QVERIFY2(said.contains(message), qPrintable(said));
    QVERIFY2(said.contains(QStringLiteral("FormWindow")), qPrintable(said));
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (const QByteArray which = qgetenv("FORMBUILDER_CHILD"); !which.isEmpty()) {
        buildBroken(which.constData());
        return 0; // built after all: the parent sees a normal exit and fails
    }
    TestFormBuilder test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_formbuilder.moc"
