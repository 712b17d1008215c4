#include "FakeFtdiLibrary.h"
#include "PortAccess.h"

#include <QTemporaryDir>
#include <QtTest>

Q_DECLARE_METATYPE(PortRoute)
Q_DECLARE_METATYPE(QList<FakeUsbDevice>)

namespace {

using Dev = FakeUsbDevice;
const Dev Keyboard = Dev::other(1, 2, 0x046d, 0xc52b, 0x1203);
const Dev OldFtdi = Dev::other(1, 3, 0x0403, 0x6001, 0x0400); // an FT232BM: same ids, older chip

// The drive's bytes for a "Full" run and the pins they must light: bit 0
// on D1, bit 1 on D3, bit 2 on D5, bit 3 on D7, bit 6 on D6.
const QStringList RunWire{"write 0x40", "write 0x42", "write 0x60", "write 0x48", "write 0xc0", "write 0x40"};

} // namespace

// Which device the adapter route opens for each form of --port ftdi[:DEVICE],
// and what it leaves alone, over a fake bus.
class TestFtdiDevice : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void picksTheDeviceAndDrivesOnlyItsFivePins_data();
    void picksTheDeviceAndDrivesOnlyItsFivePins();
    void otherDevicesLeftAlone_data();
    void otherDevicesLeftAlone();
    void severalAdaptersListedNoneTaken();

private:
    std::unique_ptr<PortAccess> access(const QByteArray &device = {});

    QTemporaryDir m_dir;
    FakeFtdiBus m_bus;
    QStringList m_told;
};

void TestFtdiDevice::init()
{
    QVERIFY(m_dir.isValid());
    m_bus = FakeFtdiBus{};
    m_told.clear();
}

std::unique_ptr<PortAccess> TestFtdiDevice::access(const QByteArray &device)
{
    return m_bus.access(m_dir.path(), device, m_told);
}

void TestFtdiDevice::picksTheDeviceAndDrivesOnlyItsFivePins_data()
{
    QTest::addColumn<QList<FakeUsbDevice>>("devices");
    QTest::addColumn<QByteArray>("device");
    QTest::addColumn<QStringList>("opening"); // after "new"
    QTest::addColumn<QString>("named");

    QTest::newRow("the one FT232R, beside a keyboard")
        << QList<Dev>{Keyboard, Dev::ft232r(1, 4)} << QByteArray() << QStringList{"open 001/004"}
        << "USB adapter FT232R (0403:6001) at 001/004";
    QTest::newRow("the one FT232H, beside an older FTDI chip")
        << QList<Dev>{OldFtdi, Dev::ft232h(2, 9)} << QByteArray() << QStringList{"open 002/009"}
        << "USB adapter FT232H (0403:6014) at 002/009";
    // lsusb prints 010: libftdi reads it in decimal, not as octal 8.
    QTest::newRow("bus and device in decimal")
        << QList<Dev>{Dev::ft232r(1, 8), Dev::ft232r(1, 10)} << QByteArray("d:001/010")
        << QStringList{"open 001/010"} << "at 001/010";
    QTest::newRow("second of two FT232H by index")
        << QList<Dev>{Dev::ft232h(1, 5, "X1"), Dev::ft232h(1, 6, "X2")} << QByteArray("i:0x0403:0x6014:1")
        << QStringList{"open 001/006"} << "FT232H (0403:6014) at 001/006";
    QTest::newRow("ids in decimal") << QList<Dev>{Dev::ft232r(3, 1)} << QByteArray("i:1027:24577")
                                    << QStringList{"open 003/001"} << "at 003/001";
    QTest::newRow("by serial, case kept, only the chips asked")
        << QList<Dev>{OldFtdi, Dev::ft232r(1, 4, "fta1"), Dev::ft232r(1, 7, "FTa1")}
        << QByteArray("s:0x0403:0x6001:FTa1")
        << QStringList{"strings 001/004", "strings 001/007", "open 001/007"} << "at 001/007";
}

// Opened with the short write timeout; five pins become outputs and go low
// before the drive's first byte; then every Out32 is one write of its byte
// through the pin table.
void TestFtdiDevice::picksTheDeviceAndDrivesOnlyItsFivePins()
{
    QFETCH(QList<FakeUsbDevice>, devices);
    QFETCH(QByteArray, device);
    QFETCH(QStringList, opening);
    QFETCH(QString, named);
    m_bus.devices = devices;
    auto port = access(device);
    for (std::int16_t value : {64, 65, 68, 66, 72, 64})
        port->Out32(0x378, value);

    const QStringList expected = QStringList{"new"} + opening + QStringList{"bitmode ea 1", "write 0x00"} + RunWire;
    QCOMPARE(m_bus.log, expected);
    QCOMPARE(m_bus.writeTimeoutMs, 100);
    QCOMPARE(port->routeOf(0x378), PortRoute::Ftdi);
    QVERIFY2(port->routeReason(0x378).contains(named), qPrintable(port->routeReason(0x378)));
    QVERIFY(m_told.isEmpty());
    QCOMPARE(port->virtualByte(0x378), std::nullopt);
}

void TestFtdiDevice::otherDevicesLeftAlone_data()
{
    QTest::addColumn<QList<FakeUsbDevice>>("devices");
    QTest::addColumn<QByteArray>("device");
    QTest::addColumn<QString>("told"); // what the line says is there

    const QList<Dev> bus{Keyboard, OldFtdi, Dev::ft232r(1, 4)};
    QTest::newRow("bus/device of a keyboard") << bus << QByteArray("d:001/002")
                                              << "001/002 is 046d:c52b, release 12.03, no FT232R";
    QTest::newRow("bus/device of an older FTDI chip")
        << bus << QByteArray("d:1/3") << "001/003 is 0403:6001, release 4.00, no FT232R";
    QTest::newRow("ids of a keyboard") << bus << QByteArray("i:0x046d:0xc52b") << "001/002 is 046d:c52b";
    QTest::newRow("first with the FT232R's ids is older")
        << bus << QByteArray("i:0x0403:0x6001") << "001/003 is 0403:6001, release 4.00";
    QTest::newRow("serial on a keyboard's ids, never opened")
        << bus << QByteArray("s:0x046d:0xc52b:0000") << "001/002 is 046d:c52b";
    QTest::newRow("nothing at that place") << bus << QByteArray("d:002/004") << "not found";
    QTest::newRow("no other FT232R") << bus << QByteArray("i:0x0403:0x6001:2") << "only 2 with ids 0403:6001";
    QTest::newRow("serial not there") << bus << QByteArray("s:0x0403:0x6001:NOPE")
                                      << "serials there: \"A50285BI\" at 001/004";
    QTest::newRow("only older FTDI chips")
        << QList<Dev>{OldFtdi} << QByteArray() << "FTDI devices this route does not drive: 001/003";
}

// Decided from the descriptors alone: nothing is opened, so no kernel
// driver is detached from a device that is not an adapter of ours.
void TestFtdiDevice::otherDevicesLeftAlone()
{
    QFETCH(QList<FakeUsbDevice>, devices);
    QFETCH(QByteArray, device);
    QFETCH(QString, told);
    m_bus.devices = devices;
    auto port = access(device);
    port->Out32(0x378, 65);

    QVERIFY2(m_bus.log.filter(QRegularExpression("^open|^strings 001/00[23]")).isEmpty(),
             qPrintable(m_bus.log.join(' ')));
    QCOMPARE(m_bus.log.last(), QString("free"));
    QCOMPARE(m_told.size(), 1);
    QVERIFY2(m_told.first().contains(told), qPrintable(m_told.first()));
    QVERIFY2(m_told.first().endsWith("; using a virtual port instead (--port ftdi)"), qPrintable(m_told.first()));
    QCOMPARE(port->routeOf(0x378), PortRoute::Virtual);
}

void TestFtdiDevice::severalAdaptersListedNoneTaken()
{
    m_bus.devices = {Dev::ft232r(1, 4), Keyboard, Dev::ft232h(3, 12)};
    auto port = access();
    port->Out32(0x378, 65);

    QCOMPARE(m_bus.log, (QStringList{"new", "strings 001/004", "strings 003/012", "free"}));
    QCOMPARE(m_told.size(), 1);
    for (const char *part : {"2 adapters are plugged in",
                             "001/004 FT232R, serial \"A50285BI\", \"FT232R USB UART\" (ftdi:d:001/004)",
                             "003/012 FT232H, serial \"FT6ZQ1XB\", \"Single RS232-HS\" (ftdi:d:003/012)",
                             "name one as ftdi:d:BUS/DEV or ftdi:s:VID:PID:SERIAL"})
        QVERIFY2(m_told.first().contains(QLatin1String(part)), qPrintable(m_told.first()));
    QCOMPARE(port->routeOf(0x378), PortRoute::Virtual);
}

QTEST_GUILESS_MAIN(TestFtdiDevice)
#include "tst_ftdidevice.moc"
