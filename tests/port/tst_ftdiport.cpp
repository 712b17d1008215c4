#include "FakeFtdiLibrary.h"
#include "PortAccess.h"
#include "PortTraceReader.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>
#include <unistd.h>

Q_DECLARE_METATYPE(PortRoute)

namespace {

// The drive's bytes for a "Full" run and the pins they must light: bit 0
// on D1, bit 1 on D3, bit 2 on D5, bit 3 on D7, bit 6 on D6.
const QStringList RunWire{"write 0x40", "write 0x42", "write 0x60", "write 0x48", "write 0xc0", "write 0x40"};

} // namespace

// The USB bit-bang route through PortAccess, over a fake libftdi and a fake
// kernel tree that lists one PCI card at 0xd010.
class TestFtdiPort : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void noSerialModeOutputEverDriven();
    void traceKeepsTheDriveByte();
    void oneAdapterStandsInAtEveryBase();
    void releasesInOrderOnce();
    void failureToldOnceThenVirtual_data();
    void failureToldOnceThenVirtual();
    void unpluggedMidRunGoesVirtual();
    void stalledWriteHoldsNoLongerThanTheTimeout();
    void stalledLastWriteStillReleases();
    void oneStalledStepStillEndsOff();
    void releaseInsideAWriteLeavesLibusbAlone();
    void refusalsOutsideAnOpenDevice_data();
    void refusalsOutsideAnOpenDevice();
    void adapterInUseIsLeftAlone_data();
    void adapterInUseIsLeftAlone();
    void realAdapter();

private:
    std::unique_ptr<PortAccess> access(const QByteArray &device = {}, const QString &trace = {});
    void runFull(PortAccess &port);

    QTemporaryDir m_dir;
    FakeFtdiBus m_bus;
    QStringList m_told;
};

void TestFtdiPort::init()
{
    QVERIFY(m_dir.isValid() && FakePortSystem::emptyTree(m_dir.path()));
    m_bus = FakeFtdiBus{};
    m_told.clear();
}

std::unique_ptr<PortAccess> TestFtdiPort::access(const QByteArray &device, const QString &trace)
{
    return m_bus.access(m_dir.path(), device, m_told, trace);
}

void TestFtdiPort::runFull(PortAccess &port)
{
    for (std::int16_t value : {64, 65, 68, 66, 72, 64})
        port.Out32(0x378, value);
}

// TXD, RTS# and DTR# (D0, D2, D4) drive the other end in serial mode; no
// byte the drive can write reaches them, and no bit reaches a pin that is
// not an output.
void TestFtdiPort::noSerialModeOutputEverDriven()
{
    auto port = access();
    for (int value = 0; value < 256; ++value)
        port->Out32(0x378, static_cast<std::int16_t>(value));
    const QStringList writes = m_bus.log.filter("write ");
    QCOMPARE(writes.size(), 257);
    for (const QString &write : writes) {
        const uint pins = write.mid(6).toUInt(nullptr, 16);
        QVERIFY2((pins & ~0xEAu) == 0, qPrintable(write));
    }
    QCOMPARE(writes.last(), QString("write 0xea")); // 255: every pin the table names
}

// The trace is the drive's byte, as on every route; only the wire differs.
void TestFtdiPort::traceKeepsTheDriveByte()
{
    const QString trace = m_dir.filePath("trace");
    auto port = access({}, trace);
    runFull(*port);
    port->shutdown();
    QCOMPARE(PortTraceReader::readFile(trace).values(), (QList<int>{64, 65, 68, 66, 72, 64}));
    QCOMPARE(m_bus.log.filter("write 0x").mid(1, 6), RunWire);
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

    QCOMPARE(m_bus.log.count("open 001/004"), 1);
    QCOMPARE(m_bus.log.filter(QRegularExpression("^write 0x[1-9a-f]")),
             (QStringList{"write 0x40", "write 0x48", "write 0x60", "write 0xc0", "write 0x40"}));
    for (int base : {0x378, 0x278, 0x3BC, 0xD010})
        QCOMPARE(port->routeOf(static_cast<std::uint16_t>(base)), PortRoute::Ftdi);
    for (int stray : {0x3, 0x37, 0xFFFF})
        QCOMPARE(port->routeOf(static_cast<std::uint16_t>(stray)), PortRoute::Virtual);
    QCOMPARE(port->virtualByte(0x3), std::optional<std::uint8_t>(65));
    QCOMPARE(m_told.size(), 3); // one line per address that is no base, as on any route
}

// Off first, then the device is given back, once.
void TestFtdiPort::releasesInOrderOnce()
{
    auto port = access();
    port->Out32(0x378, 72);
    port->Out32(0x278, 64);
    m_bus.log.clear();
    port->shutdown();
    QCOMPARE(m_bus.log, (QStringList{"write 0x00", "close", "free"}));
    port->shutdown();
    port->Out32(0x378, 65);
    port.reset();
    QCOMPARE(m_bus.log.size(), 3);
}

void TestFtdiPort::failureToldOnceThenVirtual_data()
{
    QTest::addColumn<QByteArray>("device");
    QTest::addColumn<bool>("usb");
    QTest::addColumn<int>("stringsCode");
    QTest::addColumn<int>("openCode");
    QTest::addColumn<int>("bitmodeCode");
    QTest::addColumn<QStringList>("told");    // words the one line holds
    QTest::addColumn<QString>("lastCalls");   // what the failed opening ends with

    QTest::newRow("no USB at all") << QByteArray() << false << 0 << 0 << 0
                                   << QStringList{"FT232R", "FT232H", "libusb could not start"} << "new";
    QTest::newRow("node refused") << QByteArray() << true << 0 << -4 << 0
                                  << QStringList{"FT232R (0403:6001) at 001/004", "permission", "60-quarnet-ftdi.rules", "seat"}
                                  << "open 001/004 free";
    QTest::newRow("detach refused, claim failed") << QByteArray() << true << 0 << -8 << 0
                                                  << QStringList{"permission"} << "open 001/004 free";
    QTest::newRow("claimed by another libusb program") << QByteArray() << true << 0 << -5 << 0
                                                       << QStringList{"another program holds it through libusb"}
                                                       << "open 001/004 free";
    QTest::newRow("configuration held") << QByteArray() << true << 0 << -3 << 0
                                        << QStringList{"another program"} << "open 001/004 free";
    QTest::newRow("reset not answered") << QByteArray() << true << 0 << -6 << 0
                                        << QStringList{"stopped answering"} << "open 001/004 free";
    QTest::newRow("descriptor unreadable: libftdi's text") << QByteArray() << true << 0 << -10 << 0
                                                           << QStringList{"libusb_get_config_descriptor() failed"}
                                                           << "open 001/004 free";
    QTest::newRow("serial unreadable") << QByteArray("s:0x0403:0x6001:A50285BI") << true << -4 << 0 << 0
                                       << QStringList{"its serial could not be read at 001/004 (libusb_open() failed)",
                                                      "permission"}
                                       << "strings 001/004 free";
    QTest::newRow("bit-bang not answered") << QByteArray() << true << 0 << 0 << -1
                                           << QStringList{"stopped answering"} << "bitmode ea 1 close free";
}

// Each failure is one line saying what was tried and what to do, whatever
// base is written later; the run goes on virtually and nothing of the
// adapter is left held.
void TestFtdiPort::failureToldOnceThenVirtual()
{
    QFETCH(QByteArray, device);
    QFETCH(bool, usb);
    QFETCH(int, stringsCode);
    QFETCH(int, openCode);
    QFETCH(int, bitmodeCode);
    QFETCH(QStringList, told);
    QFETCH(QString, lastCalls);
    m_bus.usb = usb;
    m_bus.stringsCode = stringsCode;
    m_bus.openCode = openCode;
    m_bus.bitmodeCode = bitmodeCode;

    auto port = access(device);
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
    m_bus.writesBeforeFault = 3; // the set-up's 0, then 64 and 65
    auto port = access();
    runFull(*port);
    port->Out32(0x278, 72);
    QCOMPARE(m_bus.log.filter("write"), (QStringList{"write 0x00", "write 0x40", "write 0x42"}));
    QCOMPARE(m_told.size(), 1);
    for (const char *part : {"port 0x378: USB adapter FT232R (0403:6001) at 001/004: write failed",
                             "(usb bulk write failed)", "unplugged", "later writes go to a virtual port"})
        QVERIFY2(m_told.first().contains(QLatin1String(part)), qPrintable(m_told.first()));
    QCOMPARE(port->routeOf(0x278), PortRoute::Virtual);
    QCOMPARE(port->virtualByte(0x378), std::optional<std::uint8_t>(64));
    QCOMPARE(port->virtualByte(0x278), std::optional<std::uint8_t>(72));

    m_bus.log.clear();
    port->shutdown();
    QCOMPARE(m_bus.log, (QStringList{"close", "free"}));
}

// A chip that takes nothing holds a step only until libusb's timeout, which
// the route sets short; the window then answers again at once.
void TestFtdiPort::stalledWriteHoldsNoLongerThanTheTimeout()
{
    m_bus.writesBeforeFault = 2;
    m_bus.writeFault = FakeFtdiBus::WriteFault::Stall;
    auto port = access();
    port->Out32(0x378, 65);
    QElapsedTimer held;
    held.start();
    port->Out32(0x378, 68);
    QVERIFY2(held.elapsed() < 1000, qPrintable(QString::number(held.elapsed())));
    held.restart();
    port->Out32(0x378, 66);
    port->shutdown();
    QVERIFY(held.elapsed() < 50);
    QCOMPARE(m_told.size(), 1);
    QVERIFY2(m_told.first().contains("write failed or took longer than 100 ms"), qPrintable(m_told.first()));
    QCOMPARE(port->virtualByte(0x378), std::optional<std::uint8_t>(66));
    QVERIFY(m_bus.log.endsWith("free"));
}

// The exit's byte 0 is bounded the same way, and the device still goes back.
void TestFtdiPort::stalledLastWriteStillReleases()
{
    m_bus.writesBeforeFault = 3;
    m_bus.writeFault = FakeFtdiBus::WriteFault::Stall;
    auto port = access();
    port->Out32(0x378, 65);
    port->Out32(0x378, 64);
    m_bus.log.clear();
    QElapsedTimer held;
    held.start();
    port->shutdown();
    QVERIFY2(held.elapsed() < 1000, qPrintable(QString::number(held.elapsed())));
    QCOMPARE(m_bus.log, (QStringList{"close", "free"}));
}

// One transfer that timed out may have been a stall, not an adapter gone:
// the phase lines off are tried on it once more, so no winding stays
// latched on the chip while the run goes virtual and stops.
void TestFtdiPort::oneStalledStepStillEndsOff()
{
    m_bus.writesBeforeFault = 2; // the set-up's 0, then 65
    m_bus.faultingWrites = 1;
    m_bus.writeFault = FakeFtdiBus::WriteFault::Stall;
    auto port = access();
    QStringList failures;
    port->setFailureHandler([&failures](const QString &why) { failures << why; });
    port->Out32(0x378, 65);
    port->Out32(0x378, 0x4C); // 68 with bit 3 too: the retry keeps only bit 6
    QCOMPARE(m_bus.log.filter("write"), (QStringList{"write 0x00", "write 0x42", "write 0x40"}));
    QCOMPARE(port->routeOf(0x378), PortRoute::Virtual);
    QCOMPARE(m_told.size(), 1);
    QCOMPARE(failures.size(), 1);
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

void TestFtdiPort::refusalsOutsideAnOpenDevice_data()
{
    QTest::addColumn<bool>("real");
    QTest::newRow("fake") << false;
    QTest::newRow("libftdi") << true;
}

// What libftdi answers on a context with no device open, before opening and
// after closing: the fake must answer the same, and so must the real
// library where this machine lets libusb start.
void TestFtdiPort::refusalsOutsideAnOpenDevice()
{
    QFETCH(bool, real);
    std::unique_ptr<FtdiLibrary> library = real ? FtdiLibrary::real() : m_bus.factory()();
    if (!library->create(FtdiPort::WriteTimeoutMs))
        QSKIP("libusb does not start on this machine (no /dev/bus/usb): only the fake is checked");
    const unsigned char byte = 0;
    for (int round = 0; round < 2; ++round) {
        QCOMPARE(library->setBitmode(0xEA, 1), -2);
        QCOMPARE(QByteArray(library->errorString()), QByteArray("USB device unavailable"));
        QCOMPARE(library->writeData(&byte, 1), -666);
        QCOMPARE(QByteArray(library->errorString()), QByteArray("USB device unavailable"));
        QCOMPARE(library->close(), 0);
    }
    library->free();
    QCOMPARE(library->close(), -3);
}

void TestFtdiPort::adapterInUseIsLeftAlone_data()
{
    QTest::addColumn<QByteArray>("device");
    QTest::addColumn<bool>("bound");   // ftdi_sio made /dev/ttyUSB0 for it
    QTest::addColumn<QString>("held"); // "fd", "elsewhere" (another path to it), "lock" or none
    QTest::addColumn<bool>("unseen");  // a process whose descriptors cannot be read
    QTest::addColumn<QString>("told"); // empty: taken

    QTest::newRow("no serial driver bound") << QByteArray() << false << "" << true << "";
    QTest::newRow("bound, nobody uses it") << QByteArray() << true << "" << false << "";
    QTest::newRow("bound, a terminal program has it open")
        << QByteArray() << true << "fd" << false << "picocom (pid 4242) has";
    QTest::newRow("named, and a program has it open all the same")
        << QByteArray("d:001/004") << true << "fd" << false << "another program is using";
    // A program in a chroot or a container names the port by a path of its own.
    QTest::newRow("bound, open through another path to the same port")
        << QByteArray() << true << "elsewhere" << false << "picocom (pid 4242) has";
    QTest::newRow("bound, locked") << QByteArray() << true << "lock" << false << "LCK..ttyUSB0";
    QTest::newRow("bound, some use out of sight") << QByteArray() << true << "" << true
                                                  << "name this adapter to take it all the same (ftdi:d:001/004)";
    QTest::newRow("named, some use out of sight") << QByteArray("d:001/004") << true << "" << true << "";
}

// libftdi unbinds the serial driver even while a program has the port open,
// and that program would then drive against the motor's pins: an adapter
// in use is never opened at all.
void TestFtdiPort::adapterInUseIsLeftAlone()
{
    QFETCH(QByteArray, device);
    QFETCH(bool, bound);
    QFETCH(QString, held);
    QFETCH(bool, unseen);
    QFETCH(QString, told);
    const QString root = m_dir.path();
    const auto put = [](const QString &path, const QByteArray &text) {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
    };
    const QString usb = root + "/sys/bus/usb/devices/1-1";
    QVERIFY(put(usb + "/busnum", "1\n") && put(usb + "/devnum", "4\n"));
    QVERIFY(put(root + "/sys/bus/usb/devices/1-2/busnum", "1\n") && put(root + "/sys/bus/usb/devices/1-2/devnum", "5\n"));
    if (bound) {
        QVERIFY(QDir().mkpath(usb + "/1-1:1.0/ttyUSB0"));
        QVERIFY(put(root + "/dev/ttyUSB0", ""));
    }
    QVERIFY(put(root + "/proc/100/comm", "bash\n"));
    QVERIFY(QDir().mkpath(root + "/proc/100/fd"));
    QVERIFY(QFile::link(root + "/dev/null", root + "/proc/100/fd/0"));
    if (held == "fd") {
        QVERIFY(put(root + "/proc/4242/comm", "picocom\n"));
        QVERIFY(QDir().mkpath(root + "/proc/4242/fd"));
        QVERIFY(QFile::link(root + "/dev/ttyUSB0", root + "/proc/4242/fd/3"));
    } else if (held == "elsewhere") {
        QVERIFY(put(root + "/proc/4242/comm", "picocom\n"));
        QVERIFY(QDir().mkpath(root + "/proc/4242/fd") && QDir().mkpath(root + "/chroot/dev"));
        QCOMPARE(::link(QFile::encodeName(root + "/dev/ttyUSB0").constData(),
                        QFile::encodeName(root + "/chroot/dev/ttyUSB0").constData()), 0);
        QVERIFY(QFile::link(root + "/chroot/dev/ttyUSB0", root + "/proc/4242/fd/3"));
    } else if (held == "lock") {
        QVERIFY(put(root + "/run/lock/LCK..ttyUSB0", "      4242\n"));
    }
    if (unseen)
        QVERIFY(put(root + "/proc/1/fd", "")); // unreadable as a folder

    auto port = access(device);
    port->Out32(0x378, 65);
    QCOMPARE(port->routeOf(0x378), told.isEmpty() ? PortRoute::Ftdi : PortRoute::Virtual);
    QCOMPARE(m_bus.log.filter("open").size(), told.isEmpty() ? 1 : 0);
    QCOMPARE(m_told.size(), told.isEmpty() ? 0 : 1);
    if (!told.isEmpty())
        QVERIFY2(m_told.first().contains(told), qPrintable(m_told.first()));
}

void TestFtdiPort::realAdapter()
{
    const QByteArray device = qgetenv("QUARNET_HW_FTDI");
    if (device.isEmpty())
        QSKIP("set QUARNET_HW_FTDI to \"only\" or a libftdi device string (d:001/004) to write 64, "
              "65, 64 and 0 to a real FT232R/FT232H (pins D1 and D6)");
    PortAccessOptions options;
    options.mode = PortMode::Ftdi;
    options.routeArgument = device == "only" ? QByteArray() : device;
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
