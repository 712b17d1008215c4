#include "FakeGpioLibrary.h"
#include "FakePortSystem.h"
#include "PortAccess.h"

#include <QTemporaryDir>
#include <QtTest>
#include <cerrno>

Q_DECLARE_METATYPE(PortRoute)

class TestGpioPort : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void linesFollowEachByte_data();
    void linesFollowEachByte();
    void requestedOnceForEveryParallelBase();
    void switchedOffThenReleased();
    void deviceRefusals_data();
    void deviceRefusals();
    void chipNamedAsLibgpiod1Took_data();
    void chipNamedAsLibgpiod1Took();
    void linesByName_data();
    void linesByName();
    void failedSetMarksTheLinesGone();
    void realChip();

private:
    PortAccessOptions gpioOptions(const QString &lines);

    QTemporaryDir m_dir;
    FakePortSystem m_system; // the parallel ports' kernel, which GPIO runs never touch
    FakeGpioKernel m_kernel;
    QStringList m_told;
};

void TestGpioPort::init()
{
    QVERIFY(m_dir.isValid() && FakePortSystem::emptyTree(m_dir.path()));
    m_system.reset(m_dir.path());
    m_kernel = FakeGpioKernel{};
    m_told.clear();
}

PortAccessOptions TestGpioPort::gpioOptions(const QString &lines)
{
    PortAccessOptions options = m_system.options(PortMode::Gpio, m_told);
    const std::optional<PortChoice> choice = parsePortChoice(("gpio:" + lines).toLocal8Bit());
    if (choice)
        options.gpio = choice->gpio;
    options.gpioLibrary = fakeGpioLibrary(m_kernel);
    m_kernel.layOut(options.devRoot);
    return options;
}

void TestGpioPort::linesFollowEachByte_data()
{
    QTest::addColumn<QString>("lines");
    QTest::addColumn<int>("byte");
    QTest::addColumn<QString>("set"); // values of L0..L3[,L6]
    const int bytes[] = {64, 65, 68, 66, 72, 69, 70, 74, 73};
    const char *phases[] = {"0 0 0 0", "1 0 0 0", "0 0 1 0", "0 1 0 0", "0 0 0 1",
                            "1 0 1 0", "0 1 1 0", "0 1 0 1", "1 0 0 1"};
    for (int index = 0; index < 9; ++index) {
        const QString phase = QString::fromLatin1(phases[index]);
        QTest::addRow("four lines, %d", bytes[index]) << "17,18,27,22" << bytes[index] << phase;
        QTest::addRow("five lines, %d", bytes[index]) << "17,18,27,22,23" << bytes[index] << phase + " 1";
    }
    // Bits 4, 5 and 7 have no line; bit 6 off reaches the fifth line too.
    QTest::newRow("bits without a line") << "17,18,27,22,23" << 0xB5 << "1 0 1 0 0";
}

void TestGpioPort::linesFollowEachByte()
{
    QFETCH(QString, lines);
    QFETCH(int, byte);
    QFETCH(QString, set);
    PortAccess access(gpioOptions("gpiochip0:" + lines));
    access.Out32(0x378, static_cast<std::int16_t>(byte));
    QCOMPARE(m_kernel.log.last(), "set " + set);
    QCOMPARE(m_kernel.log.filter("set ").size(), 1);
    QVERIFY(m_told.isEmpty());
}

// The lines stand in for the port at every base a parallel port can have;
// an address that is no base stays virtual, as with the other routes.
void TestGpioPort::requestedOnceForEveryParallelBase()
{
    QVERIFY(FakePortSystem::layOutTree(m_dir.path(), {"53264\t53256"}, {}));
    PortAccess access(gpioOptions("gpiochip0:17,18,27,22,23"));
    const int writes[][2] = {{0x378, 64}, {0x278, 65}, {0x3BC, 68}, {0xD010, 66}, {0x3, 72}, {0x378, 72}};
    for (const auto &write : writes)
        access.Out32(static_cast<std::int16_t>(write[0]), static_cast<std::int16_t>(write[1]));

    QCOMPARE(m_kernel.log, (QStringList{"open gpiochip0", "request gpiochip0 17,18,27,22,23 as quarnet low",
                                      "set 0 0 0 0 1", "set 1 0 0 0 1", "set 0 0 1 0 1",
                                      "set 0 1 0 0 1", "set 0 0 0 1 1"}));
    for (std::uint16_t base : {0x378, 0x278, 0x3BC, 0xD010})
        QCOMPARE(access.routeOf(base), PortRoute::Gpio);
    QVERIFY(access.routeReason(0x278).contains("GPIO lines gpiochip0:17,18,27,22,23"));
    QCOMPARE(access.routeOf(0x3), PortRoute::Virtual);
    QCOMPARE(access.virtualByte(0x3), std::optional<std::uint8_t>(72));
    QCOMPARE(m_told.size(), 1);
    QVERIFY2(m_told.first().contains("port 0x003 "), qPrintable(m_told.first()));
}

// Whatever the last byte, the lines end low, bit 6's too, before they are
// handed back; nothing reaches them once the process is on its way out.
void TestGpioPort::switchedOffThenReleased()
{
    auto access = std::make_unique<PortAccess>(gpioOptions("gpiochip0:17,18,27,22,23"));
    access->Out32(0x378, 74);
    m_kernel.log.clear();

    access->shutdown();
    QCOMPARE(m_kernel.log, QStringList{"set 0 0 0 0 0"});
    access->shutdown();
    access->Out32(0x378, 68);
    access->Out32(0x278, 68);
    access.reset();
    QCOMPARE(m_kernel.log, (QStringList{"set 0 0 0 0 0", "release gpiochip0 17,18,27,22,23", "close gpiochip0"}));
    QCOMPARE(m_kernel.openDescriptors, 0);
}

void TestGpioPort::deviceRefusals_data()
{
    QTest::addColumn<QString>("lines");
    QTest::addColumn<int>("openErrno");
    QTest::addColumn<int>("requestErrno");
    QTest::addColumn<QString>("holder"); // of line 27; "-": free
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<QStringList>("told");

    const QStringList opened{"open gpiochip0", "close gpiochip0"};
    // Not a name in /dev, so perhaps a label: every chip is asked for its own.
    QTest::newRow("no such chip")
        << "gpiochip7:17,18,27,22" << 0 << 0 << "-" << QStringList{}
        << QStringList{"GPIO lines gpiochip7:17,18,27,22: no GPIO chip gpiochip7", "ls /dev/gpiochip*"};
    QTest::newRow("permission denied")
        << "gpiochip0:17,18,27,22" << EACCES << 0 << "-" << QStringList{"open gpiochip0"}
        << QStringList{"permission denied", "group gpio", "udev"};
    QTest::newRow("not a chip")
        << "gpiochip0:17,18,27,22" << ENOTTY << 0 << "-" << QStringList{"open gpiochip0"}
        << QStringList{"gpiochip0 is not a GPIO chip"};
    QTest::newRow("a character device of another kind (libgpiod 2)")
        << "gpiochip0:17,18,27,22" << ENODEV << 0 << "-" << QStringList{"open gpiochip0"}
        << QStringList{"gpiochip0 is not a GPIO chip"};
    QTest::newRow("offset the chip lacks")
        << "gpiochip0:17,18,54,22" << 0 << 0 << "-" << opened
        << QStringList{"gpiochip0 has no line 54 (its lines are 0 to 53)"};
    QTest::newRow("line held by a named consumer")
        << "gpiochip0:17,18,27,22" << 0 << 0 << "spi0 CS0" << opened
        << QStringList{"line 27 of gpiochip0 is held by \"spi0 CS0\"", "not taken over"};
    QTest::newRow("line held with no name")
        << "gpiochip0:17,18,27,22" << 0 << 0 << "" << opened
        << QStringList{"line 27 ", "gives no name"};
    QTest::newRow("taken between look and request")
        << "gpiochip0:17,18,27,22" << 0 << EBUSY << "-"
        << QStringList{"open gpiochip0", "request gpiochip0 17,18,27,22 as quarnet low", "close gpiochip0"}
        << QStringList{"held by another program or driver"};
    QTest::newRow("other errno")
        << "gpiochip0:17,18,27,22" << EIO << 0 << "-" << QStringList{"open gpiochip0"}
        << QStringList{"gpiochip0: " + QString::fromLocal8Bit(std::strerror(EIO))};
}

// Each refusal is one line, said once however many bases are written, and
// every byte goes to the virtual port instead; nothing is set on the chip.
void TestGpioPort::deviceRefusals()
{
    QFETCH(QString, lines);
    QFETCH(int, openErrno);
    QFETCH(int, requestErrno);
    QFETCH(QString, holder);
    QFETCH(QStringList, calls);
    QFETCH(QStringList, told);
    FakeGpioChip &chip = m_kernel.chips[0];
    chip.openErrno = openErrno;
    chip.requestErrno = requestErrno;
    if (holder != "-")
        chip.holders.insert(27, holder.toUtf8());

    auto access = std::make_unique<PortAccess>(gpioOptions(lines));
    access->Out32(0x378, 64);
    access->Out32(0x278, 65);
    access->Out32(0x378, 68);
    access->shutdown();
    access.reset();

    QCOMPARE(m_kernel.log, calls);
    QCOMPARE(m_kernel.openDescriptors, 0);
    QCOMPARE(m_told.size(), 1);
    QVERIFY2(m_told.first().startsWith("quarnet: GPIO lines ") && !m_told.first().contains('\n'),
             qPrintable(m_told.first()));
    QVERIFY2(m_told.first().endsWith("; using a virtual port instead"), qPrintable(m_told.first()));
    for (const QString &word : told)
        QVERIFY2(m_told.first().contains(word), qPrintable(m_told.first()));
}

void TestGpioPort::chipNamedAsLibgpiod1Took_data()
{
    QTest::addColumn<QString>("lines");
    QTest::addColumn<bool>("secondDenied"); // gpiochip1 refuses to open
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<QString>("told"); // empty: taken

    const QStringList taken{"request gpiochip1 0,1,2,3 as quarnet low", "set 0 0 0 0"};
    QTest::newRow("a number is gpiochipN") << "1:0,1,2,3" << false << QStringList{"open gpiochip1"} + taken << "";
    QTest::newRow("a number read as strtoul does") << "001:0,1,2,3" << false
                                                   << QStringList{"open gpiochip1"} + taken << "";
    QTest::newRow("its node's name") << "gpiochip1:0,1,2,3" << false << QStringList{"open gpiochip1"} + taken << "";
    QTest::newRow("a label")
        << "raspberrypi-exp-gpio:0,1,2,3" << false
        << QStringList{"open gpiochip0", "close gpiochip0", "open gpiochip1"} + taken << "";
    QTest::newRow("a label behind a chip closed to us")
        << "raspberrypi-exp-gpio:0,1,2,3" << true << QStringList{"open gpiochip0", "close gpiochip0", "open gpiochip1"}
        << "permission denied on raspberrypi-exp-gpio";
    // Other devices in /dev are never opened, whatever they are called: a
    // serial port's open raises DTR, a watchdog's arms it.
    QTest::newRow("a serial port's name is no label")
        << "ttyACM0:0,1,2,3" << false << QStringList{"open gpiochip0", "close gpiochip0", "open gpiochip1", "close gpiochip1"}
        << "no GPIO chip ttyACM0";
    QTest::newRow("a watchdog's name neither")
        << "watchdog:0,1,2,3" << false << QStringList{"open gpiochip0", "close gpiochip0", "open gpiochip1", "close gpiochip1"}
        << "no GPIO chip watchdog";
    QTest::newRow("a gpiochip node of another kind") << "gpiochip9:0,1,2,3" << false << QStringList{}
                                                     << "gpiochip9 is not a GPIO chip";
}

// Whatever the major, the chip is found as libgpiod 1's gpiod_chip_open_lookup
// found it: libgpiod 2 opens paths only.
void TestGpioPort::chipNamedAsLibgpiod1Took()
{
    QFETCH(QString, lines);
    QFETCH(bool, secondDenied);
    QFETCH(QStringList, calls);
    QFETCH(QString, told);
    m_kernel.chips << FakeGpioChip{"gpiochip1", "raspberrypi-exp-gpio", 8, {}, {}, secondDenied ? EACCES : 0,
                                   0, 0, 0, 0};
    for (const char *node : {"ttyACM0", "watchdog", "gpiochip9"})
        m_kernel.otherNodes.insert(node, ENOTTY);
    PortAccess access(gpioOptions(lines));
    access.Out32(0x378, 64);
    QCOMPARE(m_kernel.log, calls);
    QCOMPARE(m_told.size(), told.isEmpty() ? 0 : 1);
    if (!told.isEmpty())
        QVERIFY2(m_told.first().contains(told), qPrintable(m_told.first()));
}

namespace {

FakeGpioChip namedChip(const QByteArray &node, const QByteArray &label, unsigned count,
                       const QByteArray &prefix)
{
    FakeGpioChip chip{node, label, count, {}, {}, 0, 0, 0, 0, 0};
    for (unsigned offset = 0; offset < count && offset < 28; ++offset)
        chip.lineNames.insert(offset, prefix + QByteArray::number(offset));
    return chip;
}

// The boards the rows name: what the kernel shows on each.
QList<FakeGpioChip> board(const QString &name)
{
    FakeGpioChip expander{"gpiochip1", "raspberrypi-exp-gpio", 8, {}, {}, 0, 0, 0, 0, 0};
    expander.lineNames = {{0, "BT_ON"}, {1, "WL_ON"}, {2, "PWR_LED_OFF"}};
    // A Raspberry Pi 5 on an older kernel: the header is the RP1's chip.
    FakeGpioChip soc{"gpiochip0", "gpio-brcmstb@107d508500", 32, {}, {}, 0, 0, 0, 0, 0};
    soc.lineNames = {{0, "RP1_SDA"}, {1, "RP1_SCL"}};
    const FakeGpioChip pi4 = namedChip("gpiochip0", "pinctrl-bcm2711", 58, "GPIO");
    if (name == "pi4")
        return {pi4, expander};
    if (name == "pi5, older kernel")
        return {soc, namedChip("gpiochip4", "pinctrl-rp1", 54, "GPIO")};
    if (name == "GPIO17 twice")
        return {pi4, namedChip("gpiochip4", "pinctrl-rp1", 54, "GPIO")};
    if (name == "lines apart") {
        FakeGpioChip other{"gpiochip2", "mcp23017", 16, {{0, "GPIO22"}}, {}, 0, 0, 0, 0, 0};
        FakeGpioChip few = pi4;
        few.lineNames.remove(22);
        return {few, expander, other};
    }
    if (name == "pi4, GPIO27 held")
        return {[&] { FakeGpioChip held = pi4; held.holders.insert(27, "spi0 CS0"); return held; }(), expander};
    if (name == "pi4, expander closed")
        return {pi4, [&] { FakeGpioChip closed = expander; closed.openErrno = EACCES; return closed; }()};
    return {};
}

} // namespace

void TestGpioPort::linesByName_data()
{
    QTest::addColumn<QString>("board");
    QTest::addColumn<QString>("names");
    QTest::addColumn<QString>("request"); // empty: refused
    QTest::addColumn<QStringList>("told");

    const QString header = "GPIO17,GPIO18,GPIO27,GPIO22";
    QTest::newRow("Raspberry Pi 4") << "pi4" << header << "request gpiochip0 17,18,27,22 as quarnet low"
                                    << QStringList{};
    QTest::newRow("Raspberry Pi 5 on an older kernel")
        << "pi5, older kernel" << header + ",GPIO23" << "request gpiochip4 17,18,27,22,23 as quarnet low"
        << QStringList{};
    QTest::newRow("a name on no chip")
        << "pi4" << "GPIO17,GPIO18,GPIO99,BT_OFF" << ""
        << QStringList{"no GPIO chip has a line named GPIO99, BT_OFF (gpiochip0 (pinctrl-bcm2711) has GPIO0 GPIO1 ",
                       "GPIO27; gpiochip1 (raspberrypi-exp-gpio) has BT_ON WL_ON PWR_LED_OFF)"};
    QTest::newRow("a name on two chips")
        << "GPIO17 twice" << header << ""
        << QStringList{"GPIO17 is line 17 of gpiochip0 and line 17 of gpiochip4", "name the chip and the offsets"};
    QTest::newRow("lines on two chips")
        << "lines apart" << header << ""
        << QStringList{"more than one chip (GPIO17 on gpiochip0, GPIO18 on gpiochip0, GPIO27 on gpiochip0, "
                       "GPIO22 on gpiochip2)"};
    QTest::newRow("a named line someone holds")
        << "pi4, GPIO27 held" << header << ""
        << QStringList{"line GPIO27 of gpiochip0 is held by \"spi0 CS0\"; it is not taken over"};
    QTest::newRow("a chip that cannot be read")
        << "pi4, expander closed" << "GPIO17,GPIO18,GPIO27,BT_ON" << ""
        << QStringList{"no GPIO chip has a line named BT_ON", "gpiochip1 could not be read (Permission denied)"};
    QTest::newRow("no chip at all") << "none" << header << ""
                                    << QStringList{"this machine has no GPIO chip"};
}

// The same names work on every board that gives its lines those names.
void TestGpioPort::linesByName()
{
    QFETCH(QString, board);
    QFETCH(QString, names);
    QFETCH(QString, request);
    QFETCH(QStringList, told);
    m_kernel.chips = ::board(board);
    PortAccess access(gpioOptions(names));
    access.Out32(0x378, 65);

    if (!request.isEmpty()) {
        QVERIFY2(m_told.isEmpty(), qPrintable(m_told.join('\n')));
        QVERIFY2(m_kernel.log.contains(request), qPrintable(m_kernel.log.join('\n')));
        QCOMPARE(m_kernel.log.last(), names.count(',') == 4 ? "set 1 0 0 0 1" : "set 1 0 0 0");
        const QString chipAndOffsets = request.section(' ', 1, 2).replace(' ', ':');
        QCOMPARE(access.routeReason(0x378), "GPIO lines " + names + " (" + chipAndOffsets + ")");
        return;
    }
    QCOMPARE(access.routeOf(0x378), PortRoute::Virtual);
    QVERIFY(m_kernel.log.filter("request").isEmpty());
    QCOMPARE(m_kernel.openDescriptors, 0);
    QCOMPARE(m_told.size(), 1);
    // Lines found, then refused, say where they were found.
    QVERIFY2(m_told.first().startsWith("quarnet: GPIO lines " + names + (board.contains("held") ? " (gpiochip0:17,18,27,22): " : ": ")),
             qPrintable(m_told.first()));
    for (const QString &words : told)
        QVERIFY2(m_told.first().contains(words), qPrintable(m_told.first()));
}

// A USB GPIO chip pulled out mid-run fails the set with ENODEV: the user is
// told once, and every port the lines served goes on virtual.
void TestGpioPort::failedSetMarksTheLinesGone()
{
    m_kernel.chips[0].setErrno = ENODEV;
    m_kernel.chips[0].setsBeforeFailure = 2;
    auto access = std::make_unique<PortAccess>(gpioOptions("gpiochip0:17,18,27,22"));
    access->Out32(0x378, 65);
    access->Out32(0x278, 68);
    access->Out32(0x378, 66);
    access->Out32(0x278, 72);
    access->Out32(0x378, 64);

    QCOMPARE(m_kernel.log.filter("set ").size(), 2);
    QCOMPARE(m_told.size(), 1);
    QVERIFY2(m_told.first().startsWith("quarnet: port 0x378: GPIO lines gpiochip0:17,18,27,22: setting the "
                                       "lines failed (" + QString::fromLocal8Bit(std::strerror(ENODEV)) + "): "
                                       "the chip has gone"),
             qPrintable(m_told.first()));
    QVERIFY2(m_told.first().endsWith("; later writes go to a virtual port"), qPrintable(m_told.first()));
    QCOMPARE(access->routeOf(0x278), PortRoute::Virtual);
    QCOMPARE(access->virtualByte(0x378), std::optional<std::uint8_t>(64));
    QCOMPARE(access->virtualByte(0x278), std::optional<std::uint8_t>(72));

    access->shutdown();
    access.reset();
    QCOMPARE(m_kernel.log.filter("set ").size(), 2);
    QCOMPARE(m_kernel.log.last(), "close gpiochip0");
    QCOMPARE(m_kernel.openDescriptors, 0);
}

void TestGpioPort::realChip()
{
    const QByteArray lines = qgetenv("QUARNET_HW_GPIO");
    if (lines.isEmpty())
        QSKIP("set QUARNET_HW_GPIO to [CHIP:]L0,L1,L2,L3[,L6] (e.g. GPIO17,GPIO18,GPIO27,GPIO22) to step "
              "those lines through 64, 65, 68, 66, 72, 64");
    const std::optional<PortChoice> choice = parsePortChoice("gpio:" + lines);
    QVERIFY(choice);
    PortAccessOptions options;
    options.mode = PortMode::Gpio;
    options.gpio = choice->gpio;
    options.report = [this](const QString &line) { m_told << line; };
    PortAccess access(options);
    for (std::int16_t value : {64, 65, 68, 66, 72, 64})
        access.Out32(0x378, value);
    QVERIFY2(m_told.isEmpty(), qPrintable(m_told.join('\n')));
    QCOMPARE(access.routeOf(0x378), PortRoute::Gpio);
}

QTEST_GUILESS_MAIN(TestGpioPort)
#include "tst_gpioport.moc"
