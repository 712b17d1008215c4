#include "FakeFtdiLibrary.h"
#include "FakePortSystem.h"
#include "PortAccess.h"

#include <QTemporaryDir>
#include <QtTest>

Q_DECLARE_METATYPE(PortRoute)

// The USB bit-bang route through PortAccess, over a fake libftdi and a fake
// kernel tree that lists one PCI card at 0xd010.
class TestFtdiPort : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void setsUpBitBangAndWritesEachByte_data();
    void setsUpBitBangAndWritesEachByte();
    void oneAdapterStandsInAtEveryBase();
    void releasesInOrderOnce();
    void failureToldOnceThenVirtual_data();
    void failureToldOnceThenVirtual();
    void unpluggedMidRunGoesVirtual();
    void releaseInsideAWriteLeavesLibusbAlone();
    void realAdapter();

private:
    std::unique_ptr<PortAccess> access(const QByteArray &device = {});

    QTemporaryDir m_dir;
    FakeFtdiBus m_bus;
    QStringList m_told;
};

void TestFtdiPort::init()
{
    QVERIFY(m_dir.isValid());
    FakePortSystem::reset(m_dir.path());
    QVERIFY(FakePortSystem::layOutTree(m_dir.path(), {"53264\t53256"}, {"parport0"}));
    m_bus = FakeFtdiBus{};
    m_told.clear();
}

std::unique_ptr<PortAccess> TestFtdiPort::access(const QByteArray &device)
{
    PortAccessOptions options;
    options.mode = PortMode::Ftdi;
    options.routeArgument = device;
    options.origin = QStringLiteral("--port ftdi");
    options.procRoot = m_dir.path() + "/proc";
    options.devRoot = m_dir.path() + "/dev";
    options.calls = FakePortSystem::calls();
    options.ftdiLibrary = m_bus.factory();
    options.report = [this](const QString &line) { m_told << line; };
    return std::make_unique<PortAccess>(options);
}

void TestFtdiPort::setsUpBitBangAndWritesEachByte_data()
{
    QTest::addColumn<QList<int>>("products");
    QTest::addColumn<QByteArray>("device");
    QTest::addColumn<QStringList>("opening");
    QTest::addColumn<QString>("named");

    QTest::newRow("first FT232R") << QList<int>{0x6001, 0x6014} << QByteArray()
                                  << QStringList{"new", "open 0403:6001"} << "FT232R";
    QTest::newRow("FT232H when no FT232R") << QList<int>{0x6014} << QByteArray()
                                           << QStringList{"new", "open 0403:6001", "open 0403:6014"}
                                           << "FT232H";
    QTest::newRow("named by serial, case kept")
        << QList<int>{0x6014} << QByteArray("s:0x0403:0x6014:FTa1B2")
        << QStringList{"new", "open s:0x0403:0x6014:FTa1B2"} << "ftdi:s:0x0403:0x6014:FTa1B2";
    QTest::newRow("named by bus and device") << QList<int>{0x6001} << QByteArray("d:001/004")
                                             << QStringList{"new", "open d:001/004"} << "d:001/004";
}

// All eight pins become outputs and go low before the drive's first byte;
// then every Out32 is one write of exactly its byte, bit n on pin Dn.
void TestFtdiPort::setsUpBitBangAndWritesEachByte()
{
    QFETCH(QList<int>, products);
    QFETCH(QByteArray, device);
    QFETCH(QStringList, opening);
    QFETCH(QString, named);
    m_bus.products = products;
    auto port = access(device);
    for (std::int16_t value : {64, 65, 68, 66, 72, 64})
        port->Out32(0x378, value);

    const QStringList written{"bitmode ff 1", "write 0",  "write 64", "write 65",
                              "write 68",     "write 66", "write 72", "write 64"};
    QCOMPARE(m_bus.log, opening + written);
    QCOMPARE(port->routeOf(0x378), PortRoute::Ftdi);
    QVERIFY2(port->routeReason(0x378).contains(named), qPrintable(port->routeReason(0x378)));
    QVERIFY(m_told.isEmpty());
    QCOMPARE(port->virtualByte(0x378), std::nullopt);
}

// The address box keeps working: every parallel-port base reaches the one
// adapter, opened once; a half-typed or foreign address reaches nothing.
void TestFtdiPort::oneAdapterStandsInAtEveryBase()
{
    auto port = access();
    const int writes[][2] = {{0x378, 64}, {0x3, 65}, {0x278, 66}, {0x3BC, 68},
                             {0xD010, 72}, {0x37, 69}, {0xFFFF, 70}, {0x378, 64}};
    for (const auto &write : writes)
        port->Out32(static_cast<std::int16_t>(write[0]), static_cast<std::int16_t>(write[1]));

    QCOMPARE(m_bus.log.count("open 0403:6001"), 1);
    QCOMPARE(m_bus.log.filter(QRegularExpression("^write [1-9]")),
             (QStringList{"write 64", "write 66", "write 68", "write 72", "write 64"}));
    for (int base : {0x378, 0x278, 0x3BC, 0xD010})
        QCOMPARE(port->routeOf(static_cast<std::uint16_t>(base)), PortRoute::Ftdi);
    for (int stray : {0x3, 0x37, 0xFFFF})
        QCOMPARE(port->routeOf(static_cast<std::uint16_t>(stray)), PortRoute::Virtual);
    QCOMPARE(port->virtualByte(0x3), std::optional<std::uint8_t>(65));
    QCOMPARE(m_told.size(), 3); // one line per address that is no base, as on any route
}

// Off first, then the device is given back. The chip stays in bit-bang mode
// with all pins low: back in serial mode D0 and D2 would idle high.
void TestFtdiPort::releasesInOrderOnce()
{
    auto port = access();
    port->Out32(0x378, 72);
    port->Out32(0x278, 64);
    m_bus.log.clear();
    port->shutdown();
    QCOMPARE(m_bus.log, (QStringList{"write 0", "close", "free"}));
    port->shutdown();
    port->Out32(0x378, 65);
    port.reset();
    QCOMPARE(m_bus.log.size(), 3);
}

void TestFtdiPort::failureToldOnceThenVirtual_data()
{
    QTest::addColumn<QList<int>>("products");
    QTest::addColumn<bool>("usb");
    QTest::addColumn<int>("openCode");
    QTest::addColumn<QByteArray>("openText");
    QTest::addColumn<int>("bitmodeCode");
    QTest::addColumn<QStringList>("told");    // words the one line holds
    QTest::addColumn<QString>("lastCalls");   // what the failed opening ends with

    QTest::newRow("no adapter") << QList<int>{} << true << 0 << QByteArray() << 0
                                << QStringList{"FT232R", "FT232H", "not found", "lsusb"} << "open 0403:6014 free";
    QTest::newRow("no USB at all") << QList<int>{0x6001} << false << 0 << QByteArray() << 0
                                   << QStringList{"libusb could not start"} << "new";
    QTest::newRow("permission denied")
        << QList<int>{0x6001} << true << -4 << QByteArray("usb_open() failed") << 0
        << QStringList{"FT232R", "permission denied", "60-quarnet-ftdi.rules", "plugdev"}
        << "open 0403:6001 free";
    QTest::newRow("detach refused: inappropriate permissions")
        << QList<int>{0x6001} << true << -8 << QByteArray("inappropriate permissions on device!") << 0
        << QStringList{"permission denied"} << "open 0403:6001 free";
    QTest::newRow("serial driver keeps the interface")
        << QList<int>{0x6001} << true << -5
        << QByteArray("unable to claim usb device. Make sure the default FTDI driver is not in use")
        << 0 << QStringList{"kernel's serial driver", "rmmod ftdi_sio"} << "open 0403:6001 free";
    QTest::newRow("serial driver keeps the configuration")
        << QList<int>{0x6001} << true << -3
        << QByteArray("unable to set usb configuration. Make sure the default FTDI driver is not in use")
        << 0 << QStringList{"kernel's serial driver"} << "open 0403:6001 free";
    QTest::newRow("detach failed") << QList<int>{0x6001} << true << -11
                                   << QByteArray("libusb_detach_kernel_driver() failed") << 0
                                   << QStringList{"could not be detached"} << "open 0403:6001 free";
    QTest::newRow("bit-bang refused") << QList<int>{0x6001} << true << 0 << QByteArray() << -1
                                      << QStringList{"can't enable bitbang mode"} << "bitmode ff 1 close free";
}

// Each failure is one line on stderr saying what was tried and what to do,
// whatever base is written later; the run goes on virtually and nothing of
// the adapter is left held.
void TestFtdiPort::failureToldOnceThenVirtual()
{
    QFETCH(QList<int>, products);
    QFETCH(bool, usb);
    QFETCH(int, openCode);
    QFETCH(QByteArray, openText);
    QFETCH(int, bitmodeCode);
    QFETCH(QStringList, told);
    QFETCH(QString, lastCalls);
    m_bus.products = products;
    m_bus.usb = usb;
    m_bus.openCode = openCode;
    m_bus.openText = openText;
    m_bus.bitmodeCode = bitmodeCode;

    auto port = access();
    for (int base : {0x378, 0x278, 0x378, 0x3BC})
        port->Out32(static_cast<std::int16_t>(base), 65);

    QCOMPARE(m_told.size(), 1);
    const QString &line = m_told.first();
    QVERIFY2(line.startsWith("quarnet: port 0x378: USB adapter") && !line.contains('\n'), qPrintable(line));
    QVERIFY2(line.endsWith("using a virtual port instead (--port ftdi)"), qPrintable(line));
    for (const QString &word : told)
        QVERIFY2(line.contains(word), qPrintable(line));
    QVERIFY2(m_bus.log.join(' ').endsWith(lastCalls), qPrintable(m_bus.log.join(' ')));
    QCOMPARE(m_bus.log.count("new"), 1);
    QCOMPARE(port->routeOf(0x278), PortRoute::Virtual);
    QCOMPARE(port->virtualByte(0x3BC), std::optional<std::uint8_t>(65));
}

// Pulled out while the motor runs: the failed step and every later one go
// to the virtual port, the user is told once, and the end of the program
// closes what is left without writing to a device that is gone.
void TestFtdiPort::unpluggedMidRunGoesVirtual()
{
    m_bus.writesBeforeUnplug = 3; // the set-up's 0, then 64 and 65
    auto port = access();
    port->Out32(0x378, 64);
    port->Out32(0x378, 65);
    port->Out32(0x378, 68);
    port->Out32(0x378, 66);
    port->Out32(0x278, 72);
    QCOMPARE(m_bus.log.filter("write"), (QStringList{"write 0", "write 64", "write 65"}));
    QCOMPARE(m_told.size(), 1);
    QVERIFY2(m_told.first().contains("port 0x378: USB adapter FT232R"), qPrintable(m_told.first()));
    QVERIFY2(m_told.first().contains("usb bulk write failed"), qPrintable(m_told.first()));
    QVERIFY2(m_told.first().contains("unplugged"), qPrintable(m_told.first()));
    QCOMPARE(port->routeOf(0x378), PortRoute::Virtual);
    QCOMPARE(port->routeOf(0x278), PortRoute::Virtual);
    QCOMPARE(port->virtualByte(0x378), std::optional<std::uint8_t>(66));
    QCOMPARE(port->virtualByte(0x278), std::optional<std::uint8_t>(72));

    m_bus.log.clear();
    port->shutdown();
    QCOMPARE(m_bus.log, (QStringList{"close", "free"}));
}

// A signal handler that ended the process in the middle of a transfer would
// find libusb holding its locks: the release must not call into it then.
void TestFtdiPort::releaseInsideAWriteLeavesLibusbAlone()
{
    auto port = access();
    port->Out32(0x378, 64);
    PortAccess *raw = port.get();
    m_bus.duringWrite = [raw] { raw->shutdown(); };
    port->Out32(0x378, 65);
    QVERIFY(!m_bus.log.contains("close"));
    QVERIFY(!m_bus.log.contains("free"));
}

void TestFtdiPort::realAdapter()
{
    const QByteArray device = qgetenv("QUARNET_HW_FTDI");
    if (device.isEmpty())
        QSKIP("set QUARNET_HW_FTDI to \"first\" or a libftdi device string (i:0x0403:0x6001) to "
              "write 64, 65, 64 and 0 to a real FT232R/FT232H");
    PortAccessOptions options;
    options.mode = PortMode::Ftdi;
    options.routeArgument = device == "first" ? QByteArray() : device;
    options.report = [this](const QString &line) { m_told << line; };
    PortAccess port(options);
    for (std::int16_t value : {64, 65, 64})
        port.Out32(0x378, value);
    QVERIFY2(m_told.isEmpty(), qPrintable(m_told.join('\n')));
    QCOMPARE(port.routeOf(0x378), PortRoute::Ftdi);
    port.shutdown();
}

QTEST_GUILESS_MAIN(TestFtdiPort)
#include "tst_ftdiport.moc"
