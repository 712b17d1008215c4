#include "CommandLine.h"
#include "PortAccess.h"

#include <QtTest>

Q_DECLARE_METATYPE(CommandLine::Action)
Q_DECLARE_METATYPE(PortMode)

// The tool's command line, parsed before any window system is opened.
class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void parses_data();
    void parses();
    void traceNamedByTheEnvironment();
    void helpListsEveryRoute();
    void refusalNamesTheAcceptedForms_data();
    void refusalNamesTheAcceptedForms();
    void monitorAsked_data();
    void monitorAsked();
    void unknownOptionPointsToHelp_data();
    void unknownOptionPointsToHelp();
};

void TestCommandLine::initTestCase()
{
    QCoreApplication::setApplicationName("quarnet");
    QCoreApplication::setApplicationVersion("9.8");
}

void TestCommandLine::parses_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("environment");
    QTest::addColumn<CommandLine::Action>("action");
    QTest::addColumn<PortMode>("mode");
    QTest::addColumn<QByteArray>("argument");
    QTest::addColumn<QString>("origin");
    QTest::addColumn<bool>("unknown");

    using A = CommandLine::Action;
    const QStringList exe{"quarnet"};
    QTest::newRow("nothing: auto") << exe << QByteArray() << A::Run << PortMode::Auto << QByteArray() << "" << false;
    QTest::newRow("environment only") << exe << QByteArray("ppdev") << A::Run << PortMode::Ppdev
                                      << QByteArray() << "QUARNET_PORT=ppdev" << false;
    QTest::newRow("--port ftdi") << exe + QStringList{"--port", "ftdi"} << QByteArray() << A::Run
                                 << PortMode::Ftdi << QByteArray() << "--port ftdi" << false;
    QTest::newRow("--port=ftdi:DEVICE") << exe + QStringList{"--port=ftdi:i:0x0403:0x6014"} << QByteArray()
                                        << A::Run << PortMode::Ftdi << QByteArray("i:0x0403:0x6014")
                                        << "--port ftdi:i:0x0403:0x6014" << false;
    QTest::newRow("environment, any case") << exe << QByteArray("Virtual") << A::Run << PortMode::Virtual
                                           << QByteArray() << "QUARNET_PORT=Virtual" << false;
    QTest::newRow("environment gpio") << exe << QByteArray("gpio:gpiochip0:17,18,27,22") << A::Run
                                      << PortMode::Gpio << QByteArray("gpiochip0:17,18,27,22")
                                      << "QUARNET_PORT=gpio:gpiochip0:17,18,27,22" << false;
    QTest::newRow("--port gpio") << exe + QStringList{"--port", "gpio:gpiochip0:17,18,27,22"} << QByteArray()
                                 << A::Run << PortMode::Gpio << QByteArray("gpiochip0:17,18,27,22")
                                 << "--port gpio:gpiochip0:17,18,27,22" << false;
    QTest::newRow("--port wins over a bad environment")
        << exe + QStringList{"--port", "virtual"} << QByteArray("lpt1") << A::Run << PortMode::Virtual
        << QByteArray() << "--port virtual" << false;
    QTest::newRow("bad --port") << exe + QStringList{"--port", "ftdi:0403:6001"} << QByteArray() << A::Refuse
                                << PortMode::Auto << QByteArray() << "" << false;
    QTest::newRow("bad environment") << exe << QByteArray("inpout32") << A::Refuse << PortMode::Auto
                                     << QByteArray() << "" << false;
    QTest::newRow("--port without a value") << exe + QStringList{"--port"} << QByteArray() << A::Refuse
                                            << PortMode::Auto << QByteArray() << "" << false;
    QTest::newRow("--port twice") << exe + QStringList{"--port", "ftdi", "--port", "ppdev"} << QByteArray()
                                  << A::Refuse << PortMode::Auto << QByteArray() << "" << false;
    QTest::newRow("a stray word") << exe + QStringList{"ftdi"} << QByteArray() << A::Refuse
                                  << PortMode::Auto << QByteArray() << "" << false;
    QTest::newRow("window-system option: looked at again later")
        << exe + QStringList{"-platform", "offscreen"} << QByteArray() << A::Refuse << PortMode::Auto
        << QByteArray() << "" << true;
    QTest::newRow("--help") << exe + QStringList{"--help", "--port", "nonsense"} << QByteArray() << A::Help
                            << PortMode::Auto << QByteArray() << "" << false;
    QTest::newRow("--version") << exe + QStringList{"--version"} << QByteArray() << A::Version
                               << PortMode::Auto << QByteArray() << "" << false;
}

void TestCommandLine::parses()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, environment);
    QFETCH(CommandLine::Action, action);
    QFETCH(PortMode, mode);
    QFETCH(QByteArray, argument);
    QFETCH(QString, origin);
    QFETCH(bool, unknown);
    const CommandLine command = parseCommandLine(arguments, environment);
    QCOMPARE(command.action, action);
    QCOMPARE(command.port.mode, mode);
    QCOMPARE(command.port.argument, argument);
    QCOMPARE(command.origin, origin);
    QCOMPARE(command.unknownOptions, unknown);
    if (action == CommandLine::Action::Version)
        QCOMPARE(command.text, QString("quarnet 9.8\n"));
    if (action != CommandLine::Action::Run)
        return;
    // What the port is then opened with.
    const PortAccessOptions options = PortAccess::optionsFor(command.port, command.origin);
    QCOMPARE(options.mode, mode);
    QCOMPARE(options.routeArgument, argument);
    QCOMPARE(options.origin, origin);
    if (mode == PortMode::Gpio)
        QCOMPARE(options.gpio.text(), QString::fromLatin1(argument));
}

void TestCommandLine::traceNamedByTheEnvironment()
{
    const CommandLine command = parseCommandLine({"quarnet"}, "virtual");
    qputenv("QUARNET_PORT_TRACE", "/tmp/steps.txt");
    const QString traced = PortAccess::optionsFor(command.port, command.origin).tracePath;
    qunsetenv("QUARNET_PORT_TRACE");
    QCOMPARE(traced, QString("/tmp/steps.txt"));
    QVERIFY(PortAccess::optionsFor(command.port, command.origin).tracePath.isEmpty());
}

void TestCommandLine::helpListsEveryRoute()
{
    const QString help = parseCommandLine({"quarnet", "-h"}, {}).text;
    for (const char *form : {"--port <ROUTE>", "--version", "--monitor", "QUARNET_PORT", "  auto ", "  ppdev ",
                             "  direct ", "  virtual ", "  ftdi[:DEVICE] ", "s:VID:PID:SERIAL",
                             "  gpio:[CHIP:]L0,L1,L2,L3[,L6] ", "gpio:gpiochip0:17,18,27,22",
                             "gpio:GPIO17,GPIO18,GPIO27,GPIO22"})
        QVERIFY2(help.contains(QLatin1String(form)), form);
}

void TestCommandLine::refusalNamesTheAcceptedForms_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("environment");
    QTest::addColumn<QString>("first");
    QTest::newRow("--port") << QStringList{"quarnet", "--port", "ftdi:s:1:2"} << QByteArray()
                            << "quarnet: --port ftdi:s:1:2 is refused: ";
    QTest::newRow("unknown word") << QStringList{"quarnet"} << QByteArray("lpt1")
                                  << "quarnet: QUARNET_PORT=lpt1 is refused: no route is called \"lpt1\"";
    QTest::newRow("a chip is no route") << QStringList{"quarnet"} << QByteArray("gpiochip0")
                                        << "quarnet: QUARNET_PORT=gpiochip0 is refused: no route is called \"gpiochip0\"";
    QTest::newRow("gpio line twice") << QStringList{"quarnet"} << QByteArray("gpio:gpiochip0:17,17,27,22")
                                     << "quarnet: QUARNET_PORT=gpio:gpiochip0:17,17,27,22 is refused: line 17";
    QTest::newRow("gpio offsets without a chip") << QStringList{"quarnet"} << QByteArray("gpio:17,18,27,22")
                                                 << "quarnet: QUARNET_PORT=gpio:17,18,27,22 is refused: no chip";
}

void TestCommandLine::refusalNamesTheAcceptedForms()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, environment);
    QFETCH(QString, first);
    const CommandLine command = parseCommandLine(arguments, environment);
    QCOMPARE(command.action, CommandLine::Action::Refuse);
    const QStringList lines = command.text.split('\n');
    QCOMPARE(lines.size(), 2);
    QVERIFY2(lines[0].startsWith(first), qPrintable(lines[0]));
    QCOMPARE(lines[1], QString("quarnet: accepted forms: auto, ppdev, direct, virtual, ftdi[:DEVICE], "
                               "gpio:[CHIP:]L0,L1,L2,L3[,L6]"));
}

void TestCommandLine::monitorAsked_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("environment");
    QTest::addColumn<bool>("monitor");
    QTest::addColumn<PortMode>("mode");

    QTest::newRow("not asked") << QStringList{"quarnet"} << QByteArray() << false << PortMode::Auto;
    QTest::newRow("alone") << QStringList{"quarnet", "--monitor"} << QByteArray() << true << PortMode::Auto;
    QTest::newRow("with --port") << QStringList{"quarnet", "--port", "virtual", "--monitor"} << QByteArray()
                                 << true << PortMode::Virtual;
    QTest::newRow("before --port=gpio") << QStringList{"quarnet", "--monitor", "--port=gpio:gpiochip0:1,2,3,4"}
                                        << QByteArray() << true << PortMode::Gpio;
    QTest::newRow("with the environment's route") << QStringList{"quarnet", "--monitor"} << QByteArray("ppdev")
                                                  << true << PortMode::Ppdev;
}

void TestCommandLine::monitorAsked()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, environment);
    QFETCH(bool, monitor);
    QFETCH(PortMode, mode);
    const CommandLine command = parseCommandLine(arguments, environment);
    QCOMPARE(command.action, CommandLine::Action::Run);
    QCOMPARE(command.monitor, monitor);
    QCOMPARE(command.port.mode, mode);
}

void TestCommandLine::unknownOptionPointsToHelp_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");

    const QString toHelp = QStringLiteral("quarnet: quarnet --help lists the options");
    const QString forms = QStringLiteral(
        "quarnet: accepted forms: auto, ppdev, direct, virtual, ftdi[:DEVICE], gpio:[CHIP:]L0,L1,L2,L3[,L6]");
    QTest::newRow("unknown long option") << QStringList{"quarnet", "--monitr"}
                                         << "quarnet: Unknown option 'monitr'." << toHelp;
    QTest::newRow("run by its path") << QStringList{"/usr/bin/quarnet", "-x"} << "quarnet: Unknown option 'x'."
                                     << toHelp;
    QTest::newRow("a stray word") << QStringList{"quarnet", "virtual"} << "quarnet: unexpected \"virtual\""
                                  << toHelp;
    // A route that is wrong is still answered with the routes.
    QTest::newRow("--port without a value") << QStringList{"quarnet", "--port"}
                                            << "quarnet: Missing value after '--port'." << forms;
    QTest::newRow("a monitor that is no route") << QStringList{"quarnet", "--port", "monitor"}
                                                << "quarnet: --port monitor is refused: no route is called \"monitor\""
                                                << forms;
}

void TestCommandLine::unknownOptionPointsToHelp()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, first);
    QFETCH(QString, second);
    const CommandLine command = parseCommandLine(arguments, {});
    QCOMPARE(command.action, CommandLine::Action::Refuse);
    const QStringList lines = command.text.split('\n');
    QCOMPARE(lines.size(), 2);
    QVERIFY2(lines[0].startsWith(first), qPrintable(lines[0]));
    QCOMPARE(lines[1], second);
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
