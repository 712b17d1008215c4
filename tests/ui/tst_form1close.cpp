#include "Form1.h"
#include "UiFakes.h"

#include <QPushButton>
#include <QtTest>
#include <functional>
#include <sys/wait.h>
#include <unistd.h>

// "Chiudi" and the window frame end the process, so each case runs in a
// forked child. The child's port sends every write down a pipe; its "end
// now" writes nothing more and leaves with status 0. The parent sees the
// bytes, and a child that comes back from closing leaves with status 3.

namespace {

struct WireWrite
{
    std::int16_t port;
    std::int16_t value;
};

class PipePort : public IPort
{
public:
    explicit PipePort(int fd) : m_fd(fd) {}

    void Out32(std::int16_t port, std::int16_t value) override
    {
        const WireWrite write{port, value};
        if (::write(m_fd, &write, sizeof write) != sizeof write)
            _exit(4);
    }

private:
    int m_fd;
};

struct ChildResult
{
    int status = -1;
    QList<int> bytes;
};

using CloseAction = std::function<void(Form1 &, ScriptedPump &)>;

ChildResult runInChild(const CloseAction &action)
{
    int fds[2];
    if (pipe(fds) != 0)
        return {};
    const pid_t child = fork();
    if (child == 0) {
        ::close(fds[0]);
        DriveState state;
        PipePort port(fds[1]);
        ScriptedPump pump;
        ScriptedMonotonicClock clock = ScriptedMonotonicClock::stepping(ScriptedMonotonicClock::Second);
        // No ending stops the process: a child that stops leaves with status 5.
        FakeProcess process;
        process.onEnd = [] { _exit(0); };
        process.onStop = [] { _exit(5); };
        RecordingShell shell;
        Form1 form(state, port, pump, clock, process, shell);
        form.show();
        action(form, pump);
        _exit(3);
    }
    ::close(fds[1]);
    ChildResult result;
    WireWrite write;
    while (read(fds[0], &write, sizeof write) == sizeof write) {
        if (std::uint16_t(write.port) != 0x378)
            result.bytes << -1;
        else
            result.bytes << write.value;
    }
    ::close(fds[0]);
    waitpid(child, &result.status, 0);
    return result;
}

void clickButton(Form1 &form, const char *name)
{
    QTest::mouseClick(form.controls().get<QPushButton>(name), Qt::LeftButton);
}

// Starts a run whose second event pass does `closing`.
void closeDuringRun(Form1 &form, ScriptedPump &pump, std::function<void()> closing)
{
    pump.deliverEvents = true;
    pump.script = {{1, [] {}}, {2, std::move(closing)}};
    pump.fallback = [&form] { clickButton(form, "Command3"); };
    clickButton(form, "Command1");
}

} // namespace

class TestForm1Close : public QObject
{
    Q_OBJECT

private slots:
    void closingEndsWithThePhasesOff_data();
    void closingEndsWithThePhasesOff();
};

void TestForm1Close::closingEndsWithThePhasesOff_data()
{
    QTest::addColumn<CloseAction>("action");
    QTest::addColumn<QList<int>>("bytes");

    QTest::newRow("Chiudi while idle")
        << CloseAction([](Form1 &form, ScriptedPump &) { clickButton(form, "Command2"); })
        << QList<int>{64, 64};
    QTest::newRow("Chiudi while running")
        << CloseAction([](Form1 &form, ScriptedPump &pump) {
               closeDuringRun(form, pump, [&form] { clickButton(form, "Command2"); });
           })
        << QList<int>{64, 68, 64};
    QTest::newRow("frame closed while idle")
        << CloseAction([](Form1 &form, ScriptedPump &) { form.close(); }) << QList<int>{64, 64};
    QTest::newRow("frame closed while running")
        << CloseAction([](Form1 &form, ScriptedPump &pump) {
               closeDuringRun(form, pump, [&form] { form.close(); });
           })
        << QList<int>{64, 68, 64};
    QTest::newRow("closeProgram, as a termination signal calls it, while running")
        << CloseAction([](Form1 &form, ScriptedPump &pump) {
               closeDuringRun(form, pump, [&form] {
                   QMetaObject::invokeMethod(&form, "closeProgram");
               });
           })
        << QList<int>{64, 68, 64};
}

void TestForm1Close::closingEndsWithThePhasesOff()
{
    QFETCH(CloseAction, action);
    QFETCH(QList<int>, bytes);

    const ChildResult result = runInChild(action);

    QVERIFY(WIFEXITED(result.status));
    QCOMPARE(WEXITSTATUS(result.status), 0);
    QCOMPARE(result.bytes, bytes);
}

QTEST_MAIN(TestForm1Close)
#include "tst_form1close.moc"
