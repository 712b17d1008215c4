#include "FakePortSystem.h"
#include "Form1.h"
#include "PortAccess.h"
#include "PortTraceReader.h"
#include "UiFakes.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>
#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>

namespace {

// One user action on the address box, played by the run loop's event pass.
struct Edit
{
    enum Kind { Replace, Key } kind;
    QString text; // Replace: the text typed over the whole box
    int key = 0;  // Key: one key press (a character, Backspace, Up, Down, Return)
};
using Edits = QList<Edit>;

Edits typed(const QString &text)
{
    Edits edits{{Edit::Replace, QString()}};
    for (QChar c : text)
        edits << Edit{Edit::Key, QString(c), 0};
    return edits;
}

Edits erased(int count)
{
    return Edits(count, Edit{Edit::Key, QString(), Qt::Key_Backspace});
}

Edits replaced(const QStringList &texts)
{
    Edits edits;
    for (const QString &text : texts)
        edits << Edit{Edit::Replace, text};
    return edits;
}

// Written from the notation alone, not from the tool's converter: "&H" and
// one to four hex digits keep their 16-bit pattern, otherwise a signed
// decimal that fits 16 bits; blanks around either are allowed.
std::optional<std::uint16_t> expectedPort(const QString &boxText)
{
    static const QRegularExpression hex(QStringLiteral("^&[Hh]([0-9A-Fa-f]{1,4})$"));
    static const QRegularExpression decimal(QStringLiteral("^[+-]?[0-9]+$"));
    const QString text = boxText.trimmed();
    if (const QRegularExpressionMatch match = hex.match(text); match.hasMatch())
        return static_cast<std::uint16_t>(match.captured(1).toUInt(nullptr, 16));
    if (!decimal.match(text).hasMatch())
        return std::nullopt;
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (!ok || value < -32768 || value > 32767)
        return std::nullopt;
    return static_cast<std::uint16_t>(static_cast<std::int16_t>(value));
}

// QTest's character clicks take only ASCII: other characters arrive as a
// key event carrying just their text, as an input method would send them.
void typeText(QLineEdit *line, const QString &text)
{
    for (QChar c : text) {
        if (c.unicode() < 0x80)
            QTest::keyClick(line, char(c.unicode()));
        else
            QTest::sendKeyEvent(QTest::Click, line, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

struct TraceLine
{
    std::uint16_t port;
    int value;
};

QList<TraceLine> readTrace(const QString &path)
{
    QList<TraceLine> lines;
    for (const PortTraceLine &line : PortTraceReader::readFile(path).lines)
        lines.append({line.port, line.value});
    return lines;
}

// The kernel lists three ports: the two legacy ones and a PCI card. 0x3BC is
// a legacy base the kernel does not list, so it can only go the direct way.
constexpr std::uint16_t PciBase = 0xD010;
const QSet<std::uint16_t> ParallelBases{0x278, 0x378, 0x3BC, PciBase};
const QSet<QString> ListedNodes{QStringLiteral("/dev/parport0"), QStringLiteral("/dev/parport1"),
                                QStringLiteral("/dev/parport2")};
const QSet<int> FullBytes{65, 66, 68, 72};

} // namespace

Q_DECLARE_METATYPE(Edits)

class TestPortSafety : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void typingWhileRunning_data();
    void typingWhileRunning();
    void deviceFailingMidRunStopsTheRun();

private:
    // The real port access in its automatic mode over the fake kernel tree.
    PortAccessOptions automaticOptions(const QString &tracePath, QStringList &told);

    QTemporaryDir m_dir;
    FakePortSystem m_system;
};

void TestPortSafety::init()
{
    QVERIFY(m_dir.isValid() && FakePortSystem::emptyTree(m_dir.path()));
    m_system.reset(m_dir.path());
    QVERIFY(FakePortSystem::layOutTree(m_dir.path(), {"632\t1656\n", "888\t1912\n", "53264\t53256\n"},
                                       {"parport0", "parport1", "parport2"}));
}

PortAccessOptions TestPortSafety::automaticOptions(const QString &tracePath, QStringList &told)
{
    PortAccessOptions options = m_system.options(PortMode::Auto, told);
    options.tracePath = tracePath;
    return options;
}

void TestPortSafety::typingWhileRunning_data()
{
    QTest::addColumn<Edits>("edits");

    QTest::newRow("every prefix of the listed addresses")
        << typed("&H278") + typed("&H378") + typed("&H3BC") + typed("&hd010") + erased(6);
    QTest::newRow("hostile texts")
        << replaced({"", "&H", "&HFFFFF", "-1", "99999", "abc", "&H0", " &H378 ", "&H-1", "0x378",
                     "&H378abc", "&H 378", "&&H378", "H378", "+", "-", "-32769", "32768", "&H10000",
                     "  &H278", "1e3", "888.0", "888", "632", "-32768", "&HFFFF", "&H00378"});
    QTest::newRow("other scripts' digits and blanks")
        << replaced({QString::fromUtf8("&H\u0663\u0667\u0668"), QString::fromUtf8("\uff18\uff18\uff18"),
                     QString::fromUtf8("&H\uff13\uff17\uff18"), QString::fromUtf8("\u00a0&H378\u00a0"), QString::fromUtf8("&H378\u200b"),
                     QString::fromUtf8("\u3000888")});
    QTest::newRow("very long texts")
        << replaced({QString(3000, QLatin1Char('9')), QStringLiteral("&H") + QString(2000, QLatin1Char('0')) + "378",
                     QString(2000, QLatin1Char('0')) + "888", QString(2000, QLatin1Char(' ')),
                     QStringLiteral("&H378").repeated(400)});
    QStringList manyPorts;
    for (int port = 1; port <= 40; ++port)
        manyPorts << QString::number(port);
    QTest::newRow("more ports than a run usually meets") << replaced(manyPorts);
    QTest::newRow("picked from the list with the arrow keys")
        << Edits{{Edit::Key, QString(), Qt::Key_Up}, {Edit::Key, QString(), Qt::Key_Up},
                 {Edit::Key, QString(), Qt::Key_Down}, {Edit::Key, QString(), Qt::Key_Down},
                 {Edit::Key, QString(), Qt::Key_Down}, {Edit::Key, QString(), Qt::Key_Return}}
               + erased(2) + typed("&H2") + Edits{{Edit::Key, QString(), Qt::Key_Return}};
}

// A real main window on the real port access, in its automatic mode over a
// fake kernel tree: the user types into the address box between every two
// steps. Writes may go only where the box's text at that moment names a
// port, real routes open only parallel-port bases, and every port the motor
// turned through is left with its windings off.
void TestPortSafety::typingWhileRunning()
{
    QFETCH(Edits, edits);

    const QString tracePath = m_dir.path() + "/trace";
    QStringList told;
    PortAccess port(automaticOptions(tracePath, told));

    DriveState state;
    // A short wait between steps: the steps come as fast as the edits do.
    state.LoopsPerSec = 2000;
    ScriptedPump pump;
    pump.deliverEvents = true;
    ScriptedMonotonicClock clock = ScriptedMonotonicClock::stepping(ScriptedMonotonicClock::Second);
    FakeProcess process = FakeProcess::forbidden();
    RecordingShell shell;
    auto form = std::make_unique<Form1>(state, port, pump, clock, process, shell);
    auto *box = form->controls().get<QComboBox>("Combo1");
    auto *stop = form->controls().get<QPushButton>("Command3");
    QVERIFY(box && box->lineEdit() && stop);
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    box->lineEdit()->setFocus();
    pump.fallback = [stop] { stop->click(); };

    // What the box shows after each pass's edit: the text of the next write.
    QStringList shown;
    for (const Edit &edit : edits) {
        pump.then([&, edit] {
            QLineEdit *line = box->lineEdit();
            if (edit.kind == Edit::Replace) {
                line->selectAll();
                if (edit.text.isEmpty())
                    QTest::keyClick(line, Qt::Key_Backspace);
                else
                    typeText(line, edit.text);
            } else if (edit.key != 0) {
                QTest::keyClick(line, Qt::Key(edit.key));
            } else {
                typeText(line, edit.text);
            }
            shown << box->currentText();
        });
    }
    pump.then([stop] { stop->click(); });

    const int loadWrites = readTrace(tracePath).size();
    QTest::mouseClick(form->controls().get<QPushButton>("Command1"), Qt::LeftButton);
    QVERIFY(!pump.overran);
    QCOMPARE(shown.size(), edits.size());
    // Typing really reached the box: a key that was ignored would test nothing.
    QVERIFY(QSet<QString>(shown.begin(), shown.end()).size() > 1);

    const QList<TraceLine> trace = readTrace(tracePath).mid(loadWrites);
    QList<std::uint16_t> expected;
    for (const QString &text : std::as_const(shown)) {
        if (const std::optional<std::uint16_t> port = expectedPort(text))
            expected << *port;
    }
    QVERIFY2(trace.size() >= expected.size(),
             qPrintable(QStringLiteral("%1 writes, %2 expected").arg(trace.size()).arg(expected.size())));
    QSet<std::uint16_t> turned;
    for (int i = 0; i < expected.size(); ++i) {
        QVERIFY2(trace[i].port == expected[i],
                 qPrintable(QStringLiteral("write %1 went to 0x%2, the box named 0x%3")
                                .arg(i).arg(trace[i].port, 0, 16).arg(expected[i], 0, 16)));
        QVERIFY(FullBytes.contains(trace[i].value));
        turned << trace[i].port;
    }
    // The run's end: the last address the box named, then every port the
    // motor was left on, all with the phases off.
    QSet<std::uint16_t> ended;
    for (qsizetype i = expected.size(); i < trace.size(); ++i) {
        QCOMPARE(trace[i].value, 64);
        ended << trace[i].port;
    }
    if (const std::optional<std::uint16_t> last = expectedPort(box->currentText()))
        QVERIFY(ended.contains(*last));
    QVERIFY(ended.size() <= turned.size() + 1);
    for (std::uint16_t any : std::as_const(turned)) {
        int lastValue = -1;
        for (const TraceLine &line : trace) {
            if (line.port == any)
                lastValue = line.value;
        }
        QVERIFY2(lastValue == 64,
                 qPrintable(QStringLiteral("0x%1 left at %2").arg(any, 0, 16).arg(lastValue)));
        const std::optional<PortRoute> route = port.routeOf(any);
        QVERIFY(route);
        QCOMPARE(*route == PortRoute::Virtual, !ParallelBases.contains(any));
    }

    // The real routes were asked for parallel-port bases and nothing else.
    static const QRegularExpression access(QStringLiteral("^(ioperm|outb) 0x([0-9a-f]+) "));
    for (const QString &call : std::as_const(m_system.log)) {
        if (call.startsWith(QStringLiteral("open "))) {
            QVERIFY2(ListedNodes.contains(call.mid(5)), qPrintable(call));
        } else if (const QRegularExpressionMatch match = access.match(call); match.hasMatch()) {
            QVERIFY2(ParallelBases.contains(std::uint16_t(match.captured(2).toUInt(nullptr, 16))),
                     qPrintable(call));
        }
    }
    // Every parallel-port base found its real route without a complaint.
    for (const QString &line : std::as_const(told)) {
        for (std::uint16_t base : ParallelBases)
            QVERIFY2(!line.startsWith(QStringLiteral("quarnet: port 0x%1").arg(base, 3, 16, QLatin1Char('0'))),
                     qPrintable(line));
    }

    form.reset();
    port.shutdown();
}

// The port's device starts refusing writes while the motor turns: the run
// stops by itself, as "Stop" stops it, and the window says why; the off
// byte is tried once more on the device and ends the trace.
void TestPortSafety::deviceFailingMidRunStopsTheRun()
{
    const QString tracePath = m_dir.path() + "/trace";
    QStringList told;
    PortAccess port(automaticOptions(tracePath, told));

    DriveState state;
    state.LoopsPerSec = 2000;
    ScriptedPump pump;
    ScriptedMonotonicClock clock = ScriptedMonotonicClock::stepping(ScriptedMonotonicClock::Second);
    FakeProcess process = FakeProcess::forbidden();
    RecordingShell shell;
    auto form = std::make_unique<Form1>(state, port, pump, clock, process, shell);
    port.setFailureHandler([&form](const QString &why) { form->portFailed(why); });
    auto *start = form->controls().get<QPushButton>("Command1");
    auto *stop = form->controls().get<QPushButton>("Command3");
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    pump.fallback = [stop] { stop->click(); };
    pump.then([] {});
    pump.then([] {});
    pump.then([this] { m_system.dataErrno = ENODEV; });

    QTest::mouseClick(start, Qt::LeftButton);
    QVERIFY2(!pump.overran, "the run went on after its device failed");
    QVERIFY(start->isEnabled());
    QVERIFY(!stop->isEnabled());
    QVERIFY(form->portFailure() && form->portFailure()->isVisible());
    QVERIFY2(form->portFailure()->informativeText().contains(QString::fromLocal8Bit(std::strerror(ENODEV))),
             qPrintable(form->portFailure()->informativeText()));
    QCOMPARE(told.size(), 1);

    const QStringList calls = m_system.log.filter(QRegularExpression("^data "));
    QVERIFY2(calls.size() >= 4 && calls.last() == "data 64", qPrintable(calls.join(", ")));
    const QList<TraceLine> trace = readTrace(tracePath);
    QVERIFY(!trace.isEmpty());
    QCOMPARE(trace.last().value, 64);
    QCOMPARE(port.routeOf(0x378), PortRoute::Virtual);
    form.reset();
}

QTEST_MAIN(TestPortSafety)
#include "tst_portsafety.moc"
