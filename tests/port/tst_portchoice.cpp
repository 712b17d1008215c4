#include "PortMode.h"

#include <QtTest>

Q_DECLARE_METATYPE(PortMode)

// The one parser behind --port and QUARNET_PORT.
class TestPortChoice : public QObject
{
    Q_OBJECT

private slots:
    void accepted_data();
    void accepted();
    void refused_data();
    void refused();
    void formsListEveryRoute();
    void gpioLines_data();
    void gpioLines();
};

void TestPortChoice::accepted_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<PortMode>("mode");
    QTest::addColumn<QByteArray>("argument");

    QTest::newRow("empty is auto") << QByteArray("  ") << PortMode::Auto << QByteArray();
    QTest::newRow("auto") << QByteArray("auto") << PortMode::Auto << QByteArray();
    QTest::newRow("ppdev") << QByteArray("ppdev") << PortMode::Ppdev << QByteArray();
    QTest::newRow("direct, any case") << QByteArray(" DIRECT ") << PortMode::Direct << QByteArray();
    QTest::newRow("virtual") << QByteArray("virtual") << PortMode::Virtual << QByteArray();
    QTest::newRow("ftdi, the one plugged in") << QByteArray("ftdi") << PortMode::Ftdi << QByteArray();
    QTest::newRow("bus/device") << QByteArray("ftdi:d:001/004") << PortMode::Ftdi << QByteArray("d:001/004");
    QTest::newRow("vendor:product hex") << QByteArray("FTDI:i:0x0403:0x6014") << PortMode::Ftdi
                                        << QByteArray("i:0x0403:0x6014");
    QTest::newRow("vendor:product decimal, index")
        << QByteArray("ftdi:i:1027:24577:1") << PortMode::Ftdi << QByteArray("i:1027:24577:1");
    QTest::newRow("serial keeps its case and colons")
        << QByteArray("ftdi:s:0x0403:0x6001:Ab:12") << PortMode::Ftdi << QByteArray("s:0x0403:0x6001:Ab:12");
    QTest::newRow("gpio lines, chip label keeps its case")
        << QByteArray("Gpio:Pinctrl-BCM2711:17,18,27,22") << PortMode::Gpio << QByteArray("Pinctrl-BCM2711:17,18,27,22");
    QTest::newRow("gpio lines by name")
        << QByteArray("gpio:GPIO17,GPIO18,GPIO27,GPIO22") << PortMode::Gpio << QByteArray("GPIO17,GPIO18,GPIO27,GPIO22");
}

void TestPortChoice::accepted()
{
    QFETCH(QByteArray, text);
    QFETCH(PortMode, mode);
    QFETCH(QByteArray, argument);
    QString why;
    const std::optional<PortChoice> choice = parsePortChoice(text, &why);
    QVERIFY2(choice, qPrintable(why));
    QCOMPARE(choice->mode, mode);
    QCOMPARE(choice->argument, argument);
    if (mode == PortMode::Gpio)
        QCOMPARE(choice->gpio.text(), QString::fromLocal8Bit(argument));
}

void TestPortChoice::refused_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("why"); // words the reason holds

    QTest::newRow("unknown route") << QByteArray("inpout") << "\"inpout\"";
    QTest::newRow("usb is no route") << QByteArray("usb:i:0x0403:0x6001") << "\"usb\"";
    QTest::newRow("argument on a plain route") << QByteArray("ppdev:0") << "nothing after";
    QTest::newRow("ftdi with empty device") << QByteArray("ftdi:") << "DEVICE";
    QTest::newRow("device without its kind") << QByteArray("ftdi:0x0403:0x6001") << "DEVICE";
    QTest::newRow("unknown device kind") << QByteArray("ftdi:x:1/2") << "\"x:1/2\"";
    QTest::newRow("bus without device") << QByteArray("ftdi:d:001") << "DEVICE";
    QTest::newRow("bus/device not decimal") << QByteArray("ftdi:d:0x1/2") << "DEVICE";
    QTest::newRow("vendor only") << QByteArray("ftdi:i:0x0403") << "DEVICE";
    QTest::newRow("product not a number") << QByteArray("ftdi:i:0x0403:ft232") << "DEVICE";
    QTest::newRow("vendor beyond 16 bits") << QByteArray("ftdi:i:0x10403:0x6001") << "DEVICE";
    QTest::newRow("trailing colon after index") << QByteArray("ftdi:i:0x0403:0x6001:1:") << "DEVICE";
    QTest::newRow("serial missing") << QByteArray("ftdi:s:0x0403:0x6001") << "DEVICE";
    QTest::newRow("serial empty") << QByteArray("ftdi:s:0x0403:0x6001:") << "DEVICE";
    // The line set's own reasons come through, with its form.
    QTest::newRow("gpio without lines") << QByteArray("gpio") << "no chip named; the form is gpio:[CHIP:]";
    QTest::newRow("gpio line twice") << QByteArray("gpio:gpiochip0:4,5,4,6") << "line 4 named twice";
}

void TestPortChoice::refused()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, why);
    QString reason;
    QVERIFY(!parsePortChoice(text, &reason));
    QVERIFY2(reason.contains(why), qPrintable(reason));
}

void TestPortChoice::formsListEveryRoute()
{
    QCOMPARE(portChoiceForms(), QString("auto, ppdev, direct, virtual, ftdi[:DEVICE], gpio:[CHIP:]L0,L1,L2,L3[,L6]"));
    const QStringList help = portChoiceHelp().split('\n');
    QCOMPARE(help.size(), 6);
    for (const char *name : {"auto", "ppdev", "direct", "virtual", "ftdi[:DEVICE]",
                             "gpio:[CHIP:]L0,L1,L2,L3[,L6]"}) {
        QVERIFY2(!help.filter(QRegularExpression(QStringLiteral("^  %1 +\\S")
                                                     .arg(QRegularExpression::escape(name))))
                      .isEmpty(),
                 name);
    }
    // The forms a refusal shows are the ones the parser takes.
    for (const char *text : {"auto", "ppdev", "direct", "virtual", "ftdi", "gpio:gpiochip0:17,18,27,22",
                             "gpio:GPIO17,GPIO18,GPIO27,GPIO22"})
        QVERIFY2(parsePortChoice(text), text);
}

void TestPortChoice::gpioLines_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("chip");  // "-": refused; empty: lines by name
    QTest::addColumn<QString>("lines"); // the line set's own text, or the words the refusal holds
    QTest::newRow("four lines") << QByteArray("gpio:gpiochip0:17,18,27,22") << "gpiochip0" << "gpiochip0:17,18,27,22";
    QTest::newRow("fifth line for bit 6") << QByteArray("gpio:gpiochip0:17,18,27,22,23") << "gpiochip0" << "gpiochip0:17,18,27,22,23";
    QTest::newRow("any case of gpio") << QByteArray(" GPIO:gpiochip1:0,1,2,3 ") << "gpiochip1" << "gpiochip1:0,1,2,3";
    // A path could be any file: a FIFO, a serial port, a watchdog.
    QTest::newRow("a path is refused") << QByteArray("gpio:/dev/gpiochip1:0,1,2,3") << "-" << "is a path";
    QTest::newRow("a relative path too") << QByteArray("gpio:../tmp/fifo:0,1,2,3") << "-" << "gpiodetect";
    QTest::newRow("line 0 and spaces") << QByteArray("gpio:gpiochip0: 0, 5 ,6,13") << "gpiochip0" << "gpiochip0:0,5,6,13";
    QTest::newRow("chip label keeps its case") << QByteArray("gpio:Pinctrl-BCM2835:1,2,3,4") << "Pinctrl-BCM2835" << "Pinctrl-BCM2835:1,2,3,4";
    QTest::newRow("chip number") << QByteArray("gpio:0:17,18,27,22") << "0" << "0:17,18,27,22";
    QTest::newRow("lines by name") << QByteArray("gpio:GPIO17,GPIO18,GPIO27,GPIO22") << "" << "GPIO17,GPIO18,GPIO27,GPIO22";
    QTest::newRow("five names, spaces, case kept") << QByteArray("gpio: GPIO17 ,gpio18,P1-13,SPI CE0,GPIO23")
                                                   << "" << "GPIO17,gpio18,P1-13,SPI CE0,GPIO23";
    QTest::newRow("a name of 31 bytes") << QByteArray("gpio:A,B,C,ABCDEFGHIJKLMNOPQRSTUVWXYZ01234") << ""
                                        << "A,B,C,ABCDEFGHIJKLMNOPQRSTUVWXYZ01234";
    QTest::newRow("line named twice") << QByteArray("gpio:gpiochip0:17,18,17,22") << "-" << "line 17 named twice";
    QTest::newRow("fifth repeats a phase") << QByteArray("gpio:gpiochip0:17,18,27,22,22") << "-" << "line 22 named twice";
    QTest::newRow("name twice") << QByteArray("gpio:GPIO17,GPIO18,GPIO17,GPIO22") << "-" << "line GPIO17 named twice";
    QTest::newRow("three lines") << QByteArray("gpio:gpiochip0:17,18,27") << "-" << "3 lines";
    QTest::newRow("three names") << QByteArray("gpio:GPIO17,GPIO18,GPIO27") << "-" << "3 lines";
    QTest::newRow("six lines") << QByteArray("gpio:gpiochip0:1,2,3,4,5,6") << "-" << "6 lines";
    QTest::newRow("word for an offset") << QByteArray("gpio:gpiochip0:17,18,GPIO27,22") << "-" << "\"GPIO27\" is not a line number";
    QTest::newRow("negative") << QByteArray("gpio:gpiochip0:17,-18,27,22") << "-" << "\"-18\" is not";
    QTest::newRow("hex") << QByteArray("gpio:gpiochip0:0x11,18,27,22") << "-" << "\"0x11\" is not";
    QTest::newRow("empty item") << QByteArray("gpio:gpiochip0:17,,27,22") << "-" << "\"\" is not";
    QTest::newRow("empty name") << QByteArray("gpio:GPIO17,,GPIO27,GPIO22") << "-" << "\"\" is not a line name";
    QTest::newRow("name too long for the kernel") << QByteArray("gpio:A,B,C,ABCDEFGHIJKLMNOPQRSTUVWXYZ012345")
                                                  << "-" << "longer than a line name can be (31 bytes)";
    QTest::newRow("offset beyond reason") << QByteArray("gpio:gpiochip0:17,18,27,9999999") << "-" << "\"9999999\" is not";
    QTest::newRow("offsets without a chip") << QByteArray("gpio:17,18,27,22") << "-" << "no chip named for line 17";
    QTest::newRow("an offset among names") << QByteArray("gpio:GPIO17,18,GPIO27,GPIO22") << "-" << "no chip named for line 18";
    QTest::newRow("empty chip") << QByteArray("gpio::17,18,27,22") << "-" << "no chip";
    QTest::newRow("bare gpio") << QByteArray("gpio") << "-" << "no chip";
    QTest::newRow("gpio and colon only") << QByteArray("gpio:") << "-" << "no chip";
    QTest::newRow("no lines") << QByteArray("gpio:gpiochip0") << "-" << "no lines";
    QTest::newRow("two chips") << QByteArray("gpio:gpiochip0:gpiochip1:1,2,3,4") << "-" << "one chip";
}

// What a GPIO route names: a chip and offsets, or lines by name.
void TestPortChoice::gpioLines()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, chip);
    QFETCH(QString, lines);
    QString error;
    const std::optional<PortChoice> choice = parsePortChoice(text, &error);
    if (chip == "-") {
        QVERIFY(!choice);
        QVERIFY2(error.contains(lines), qPrintable(error));
        QVERIFY2(error.contains("the form is gpio:[CHIP:]L0,L1,L2,L3[,L6]"), qPrintable(error));
        return;
    }
    QVERIFY2(choice, qPrintable(error));
    QVERIFY(error.isEmpty());
    QCOMPARE(choice->mode, PortMode::Gpio);
    QCOMPARE(choice->gpio.chip, chip);
    QCOMPARE(choice->gpio.byName(), chip.isEmpty());
    QCOMPARE(choice->gpio.text(), lines);
    QCOMPARE(choice->gpio.hasBit6Line(), lines.count(',') == 4);
}

QTEST_GUILESS_MAIN(TestPortChoice)
#include "tst_portchoice.moc"
