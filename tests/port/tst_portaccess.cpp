#include "FakePortSystem.h"
#include "PortAccess.h"
#include "PortKernelList.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>
#include <cerrno>
#include <cstring>

Q_DECLARE_METATYPE(PortMode)
Q_DECLARE_METATYPE(PortRoute)

class TestPortAccess : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void routesEachPort_data();
    void routesEachPort();
    void regularFileOrMissingNodeWithRealCalls_data();
    void regularFileOrMissingNodeWithRealCalls();
    void refusedRouteToldOncePerPort();
    void routeChosenOnceThenKept();
    void shutdownReleasesOnceAndStopsWrites();
    void heldClaimNeitherBlocksNorWrites();
    void failedWriteRetriedOffAndTold();
    void valueMaskedToByte_data();
    void valueMaskedToByte();
    void baseAddrParsing_data();
    void baseAddrParsing();
    void realHardware();

private:
    PortAccessOptions fakeOptions(PortMode mode);

    QTemporaryDir m_dir;
    FakePortSystem m_system;
    QStringList m_told;
};

void TestPortAccess::init()
{
    QVERIFY(m_dir.isValid() && FakePortSystem::emptyTree(m_dir.path()));
    m_system.reset(m_dir.path());
    m_told.clear();
}

PortAccessOptions TestPortAccess::fakeOptions(PortMode mode)
{
    return m_system.options(mode, m_told);
}

void TestPortAccess::routesEachPort_data()
{
    QTest::addColumn<PortMode>("mode");
    QTest::addColumn<int>("port");
    QTest::addColumn<QStringList>("baseAddrs");
    QTest::addColumn<QStringList>("nodes");
    QTest::addColumn<int>("openErrno");
    QTest::addColumn<int>("claimErrno");
    QTest::addColumn<int>("iopermErrno");
    QTest::addColumn<PortRoute>("route");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<QStringList>("told"); // words the one stderr line must hold; none: silent

    const QStringList three{"632\t1656\n", "888\t1912\n", "956\t0\n"};
    const QStringList nodes3{"parport0", "parport1", "parport2"};
    QTest::newRow("ppdev finds 0x378 as parport1")
        << PortMode::Auto << 0x378 << three << nodes3 << 0 << 0 << 0 << PortRoute::Ppdev
        << QStringList{"open /dev/parport1", "claim", "data 68"} << QStringList{};
    QTest::newRow("ppdev finds 0x3bc as parport2")
        << PortMode::Auto << 0x3BC << three << nodes3 << 0 << 0 << 0 << PortRoute::Ppdev
        << QStringList{"open /dev/parport2", "claim", "data 68"} << QStringList{};
    QTest::newRow("PCI card base listed by the kernel")
        << PortMode::Auto << 0xD010 << QStringList{"888\t1912", "53264\t53256"} << nodes3 << 0
        << 0 << 0 << PortRoute::Ppdev << QStringList{"open /dev/parport1", "claim", "data 68"}
        << QStringList{};
    QTest::newRow("no parport at the base: direct")
        << PortMode::Auto << 0x378 << QStringList{"632\t1656"} << nodes3 << 0 << 0 << 0
        << PortRoute::Direct << QStringList{"ioperm 0x378 1 1", "outb 0x378 68"} << QStringList{};
    // parport_pc drives the port and ppdev is not loaded: direct I/O would
    // write under the driver (and lp), so the line says how to load ppdev.
    QTest::newRow("missing node: no direct I/O under the driver")
        << PortMode::Auto << 0x378 << QStringList{"888\t1912"} << QStringList{} << 0 << 0 << 0
        << PortRoute::Virtual << QStringList{"open /dev/parport0"}
        << QStringList{"modprobe ppdev", "virtual port"};
    QTest::newRow("forced ppdev, missing node")
        << PortMode::Ppdev << 0x378 << QStringList{"888\t1912"} << QStringList{} << 0 << 0 << 0
        << PortRoute::Virtual << QStringList{"open /dev/parport0"}
        << QStringList{"0x378", "/dev/parport0", "modprobe ppdev", "QUARNET_PORT=ppdev"};
    QTest::newRow("forced ppdev, no parport listed")
        << PortMode::Ppdev << 0x378 << QStringList{} << nodes3 << 0 << 0 << 0
        << PortRoute::Virtual << QStringList{} << QStringList{"modprobe parport_pc"};
    // Where ppdev is there for the base and says no, direct I/O (which root
    // would get) must not write under the driver that holds the port.
    QTest::newRow("auto, node closed to us: no direct I/O")
        << PortMode::Auto << 0x378 << QStringList{"888\t1912"} << nodes3 << EACCES << 0 << 0
        << PortRoute::Virtual << QStringList{"open /dev/parport0"}
        << QStringList{"group lp", "virtual port"};
    QTest::newRow("auto, claim refused: no direct I/O")
        << PortMode::Auto << 0x378 << QStringList{"888\t1912"} << nodes3 << 0 << ENXIO << 0
        << PortRoute::Virtual << QStringList{"open /dev/parport0", "claim", "close"}
        << QStringList{"another program", "virtual port"};
    QTest::newRow("auto, claim busy: no direct I/O")
        << PortMode::Auto << 0x3BC << three << nodes3 << 0 << EBUSY << 0
        << PortRoute::Virtual << QStringList{"open /dev/parport2", "claim", "close"}
        << QStringList{"claimed by another program", "virtual port"};
    QTest::newRow("claim refused: held elsewhere")
        << PortMode::Ppdev << 0x378 << QStringList{"888\t1912"} << nodes3 << 0 << ENXIO << 0
        << PortRoute::Virtual << QStringList{"open /dev/parport0", "claim", "close"}
        << QStringList{"another program"};
    QTest::newRow("forced direct at a legacy base")
        << PortMode::Direct << 0x278 << QStringList{} << QStringList{} << 0 << 0 << 0
        << PortRoute::Direct << QStringList{"ioperm 0x278 1 1", "outb 0x278 68"} << QStringList{};
    QTest::newRow("forced direct, unlisted base")
        << PortMode::Direct << 0xD010 << QStringList{} << QStringList{} << 0 << 0 << 0
        << PortRoute::Virtual << QStringList{} << QStringList{"0xd010", "not a parallel-port base"};
    QTest::newRow("partly typed &H3")
        << PortMode::Auto << 0x3 << three << nodes3 << 0 << 0 << 0 << PortRoute::Virtual
        << QStringList{} << QStringList{"port 0x003 ", "not a parallel-port base"};
    QTest::newRow("&H37 forced ppdev")
        << PortMode::Ppdev << 0x37 << three << nodes3 << 0 << 0 << 0 << PortRoute::Virtual
        << QStringList{} << QStringList{"port 0x037 "};
    QTest::newRow("&HFFFF")
        << PortMode::Auto << 0xFFFF << three << nodes3 << 0 << 0 << 0 << PortRoute::Virtual
        << QStringList{} << QStringList{"port 0xffff "};
    QTest::newRow("forced virtual")
        << PortMode::Virtual << 0x378 << three << nodes3 << 0 << 0 << 0 << PortRoute::Virtual
        << QStringList{} << QStringList{};
}

void TestPortAccess::routesEachPort()
{
    QFETCH(PortMode, mode);
    QFETCH(int, port);
    QFETCH(QStringList, baseAddrs);
    QFETCH(QStringList, nodes);
    QFETCH(int, openErrno);
    QFETCH(int, claimErrno);
    QFETCH(int, iopermErrno);
    QFETCH(PortRoute, route);
    QFETCH(QStringList, calls);
    QFETCH(QStringList, told);

    QVERIFY(FakePortSystem::layOutTree(m_dir.path(), baseAddrs, nodes));
    FakePortSystem &fake = m_system;
    fake.openErrno = openErrno;
    fake.claimErrno = claimErrno;
    fake.iopermErrno = iopermErrno;

    PortAccess access(fakeOptions(mode));
    access.Out32(static_cast<std::int16_t>(port), 68);

    QCOMPARE(access.routeOf(static_cast<std::uint16_t>(port)), route);
    QCOMPARE(fake.log, calls);
    const auto expectedVirtual = route == PortRoute::Virtual ? std::optional<std::uint8_t>(68)
                                                             : std::nullopt;
    QCOMPARE(access.virtualByte(static_cast<std::uint16_t>(port)), expectedVirtual);
    QVERIFY(!access.routeReason(static_cast<std::uint16_t>(port)).isEmpty());
    QCOMPARE(m_told.size(), told.isEmpty() ? 0 : 1);
    for (const QString &word : told)
        QVERIFY2(m_told.first().contains(word), qPrintable(m_told.first()));
}

void TestPortAccess::regularFileOrMissingNodeWithRealCalls_data()
{
    QTest::addColumn<QStringList>("nodes");
    QTest::addColumn<QString>("told");
    QTest::newRow("regular file: ENOTTY") << QStringList{"parport0"} << "not a parallel-port device";
    QTest::newRow("no node: ENOENT") << QStringList{} << "modprobe ppdev";
}

// The real system calls against a fake tree: a regular file opens but cannot
// be claimed. Forced ppdev keeps direct I/O, which root would get, out of it.
void TestPortAccess::regularFileOrMissingNodeWithRealCalls()
{
    QFETCH(QStringList, nodes);
    QFETCH(QString, told);
    QVERIFY(FakePortSystem::layOutTree(m_dir.path(), {"888\t1912"}, nodes));
    PortAccessOptions options = fakeOptions(PortMode::Ppdev);
    options.calls = &PortSystemCalls::real();
    PortAccess access(options);
    access.Out32(0x378, 64);
    QCOMPARE(access.routeOf(0x378), PortRoute::Virtual);
    QCOMPARE(access.virtualByte(0x378), std::optional<std::uint8_t>(64));
    QCOMPARE(m_told.size(), 1);
    QVERIFY2(m_told.first().contains(told), qPrintable(m_told.first()));
}

void TestPortAccess::refusedRouteToldOncePerPort()
{
    m_system.iopermErrno = EPERM;
    PortAccess access(fakeOptions(PortMode::Auto));
    const int writes[][2] = {{0x378, 68}, {0x378, 66}, {0x278, 64}, {0x378, 72},
                             {0x278, 65}, {0x3, 1},    {0x3, 2},    {0x378, 64}};
    for (const auto &write : writes)
        access.Out32(static_cast<std::int16_t>(write[0]), static_cast<std::int16_t>(write[1]));

    QCOMPARE(m_told.size(), 3);
    QVERIFY(m_told[0].contains("port 0x378:"));
    QVERIFY(m_told[1].contains("port 0x278:"));
    QVERIFY(m_told[2].contains("port 0x003 "));
    for (const QString &line : std::as_const(m_told))
        QVERIFY2(line.startsWith("quarnet: ") && !line.contains('\n'), qPrintable(line));
    QCOMPARE(access.virtualByte(0x378), std::optional<std::uint8_t>(64));
    QCOMPARE(access.virtualByte(0x278), std::optional<std::uint8_t>(65));
    QCOMPARE(access.virtualByte(0x3), std::optional<std::uint8_t>(2));
    QCOMPARE(access.virtualByte(0x3BC), std::nullopt);
}

// Once routed, a port is written straight away: the tree can vanish and
// alternating ports must not reopen or rescan anything.
void TestPortAccess::routeChosenOnceThenKept()
{
    QVERIFY(FakePortSystem::layOutTree(m_dir.path(), {"632\t1656", "888\t1912"}, {"parport0", "parport1"}));
    PortAccess access(fakeOptions(PortMode::Auto));
    access.Out32(0x378, 64);
    access.Out32(0x278, 64);
    QDir(m_dir.path() + "/proc").removeRecursively();
    QDir(m_dir.path() + "/dev").removeRecursively();
    for (int step = 0; step < 100; ++step) {
        access.Out32(0x378, static_cast<std::int16_t>(65 + step % 4));
        access.Out32(0x278, static_cast<std::int16_t>(69 + step % 4));
    }
    const QStringList &log = m_system.log;
    QCOMPARE(log.count("open /dev/parport1"), 1);
    QCOMPARE(log.count("open /dev/parport0"), 1);
    QCOMPARE(log.count("claim"), 2);
    QCOMPARE(log.filter(QRegularExpression("^data ")).size(), 202);
    QCOMPARE(log.last(), QString("data 72"));
    QVERIFY(m_told.isEmpty());
}

void TestPortAccess::shutdownReleasesOnceAndStopsWrites()
{
    QVERIFY(FakePortSystem::layOutTree(m_dir.path(), {"888\t1912"}, {"parport0"}));
    FakePortSystem &fake = m_system;
    auto access = std::make_unique<PortAccess>(fakeOptions(PortMode::Auto));
    access->Out32(0x378, 64);
    access->Out32(0x278, 64);
    access->Out32(0x3, 64);
    fake.log.clear();

    access->shutdown();
    QCOMPARE(fake.log, (QStringList{"release", "close", "ioperm 0x278 1 0"}));
    access->shutdown();
    // 0x3bc is a parallel-port base not routed yet: only the shutdown
    // itself keeps it from being opened and written now.
    access->Out32(0x378, 68);
    access->Out32(0x3BC, 68);
    access.reset();
    QCOMPARE(fake.log.size(), 3);
}

// Another program holds the port: the claim must neither keep the caller
// (the main window's load) waiting nor write once the holder lets go, and
// direct I/O must not step in.
void TestPortAccess::heldClaimNeitherBlocksNorWrites()
{
    QVERIFY(FakePortSystem::layOutTree(m_dir.path(), {"888\t1912"}, {"parport0"}));
    m_system.holdClaim();
    {
        PortAccess access(fakeOptions(PortMode::Auto));
        QElapsedTimer waited;
        waited.start();
        access.Out32(0x378, 64);
        QVERIFY2(waited.elapsed() < 600, qPrintable(QString::number(waited.elapsed())));
        access.Out32(0x378, 65);
        QCOMPARE(access.routeOf(0x378), PortRoute::Virtual);
        QCOMPARE(access.virtualByte(0x378), std::optional<std::uint8_t>(65));
        QCOMPARE(m_told.size(), 1);
        QVERIFY2(m_told.first().contains("/dev/parport0") && m_told.first().contains("another program"),
                 qPrintable(m_told.first()));
    }
    m_system.letClaimGo();
    QVERIFY(m_system.waitForEntry("close", 5000));
    QCOMPARE(m_system.logSnapshot(),
             (QStringList{"open /dev/parport0", "claim", "release", "close"}));
}

// A write the device refuses: the phase lines off are tried once more on
// it, the user is told once, the run's owner learns it, and every later
// write goes to the virtual port rather than to a device that is not there.
void TestPortAccess::failedWriteRetriedOffAndTold()
{
    QVERIFY(FakePortSystem::layOutTree(m_dir.path(), {"888\t1912"}, {"parport0"}));
    FakePortSystem &fake = m_system;
    PortAccess access(fakeOptions(PortMode::Auto));
    QStringList failures;
    access.setFailureHandler([&failures](const QString &why) { failures << why; });
    access.Out32(0x378, 64);
    access.Out32(0x378, 65);
    QCOMPARE(access.routeOf(0x378), PortRoute::Ppdev);
    fake.dataErrno = EIO;
    fake.log.clear();

    access.Out32(0x378, 0x4A);
    access.Out32(0x378, 68);
    access.Out32(0x378, 64);
    QCOMPARE(fake.log, (QStringList{"data 74", "data 64"}));
    QCOMPARE(access.routeOf(0x378), PortRoute::Virtual);
    QCOMPARE(access.virtualByte(0x378), std::optional<std::uint8_t>(64));
    QCOMPARE(m_told.size(), 1);
    QVERIFY2(m_told.first().contains("0x378") && m_told.first().contains(QString::fromLocal8Bit(std::strerror(EIO))),
             qPrintable(m_told.first()));
    QCOMPARE(failures.size(), 1);
    QVERIFY(m_told.first().endsWith(failures.first()));
}

void TestPortAccess::valueMaskedToByte_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("byte");
    QTest::newRow("in range") << 200 << 200;
    QTest::newRow("above a byte") << 0x1FF << 255;
    QTest::newRow("exactly 256") << 256 << 0;
    QTest::newRow("negative") << -1 << 255;
}

void TestPortAccess::valueMaskedToByte()
{
    QFETCH(int, value);
    QFETCH(int, byte);
    QVERIFY(FakePortSystem::layOutTree(m_dir.path(), {"888\t1912"}, {"parport0"}));
    PortAccess access(fakeOptions(PortMode::Auto));
    access.Out32(0x378, static_cast<std::int16_t>(value));
    access.Out32(0x278, static_cast<std::int16_t>(value));
    const QStringList &log = m_system.log;
    QVERIFY(log.contains(QStringLiteral("data %1").arg(byte)));
    QVERIFY(log.contains(QStringLiteral("outb 0x278 %1").arg(byte)));
}

void TestPortAccess::baseAddrParsing_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("base"); // -1: refused
    QTest::newRow("kernel format") << QByteArray("888\t1912\n") << 888;
    QTest::newRow("PCI card") << QByteArray("53264\t53256\n") << 53264;
    QTest::newRow("single number") << QByteArray(" 956 \n") << 956;
    QTest::newRow("hex is not the format") << QByteArray("0x378\t0\n") << -1;
    QTest::newRow("beyond 16 bits") << QByteArray("70000\t1\n") << -1;
    QTest::newRow("empty") << QByteArray("") << -1;
    QTest::newRow("words") << QByteArray("none\n") << -1;
}

void TestPortAccess::baseAddrParsing()
{
    QFETCH(QByteArray, text);
    QFETCH(int, base);
    const std::optional<std::uint16_t> parsed = PortKernelList::parseBaseAddr(text);
    QCOMPARE(parsed.has_value(), base >= 0);
    if (parsed)
        QCOMPARE(int(*parsed), base);
}

void TestPortAccess::realHardware()
{
    const QByteArray base = qgetenv("QUARNET_HW_PORT");
    if (base.isEmpty())
        QSKIP("set QUARNET_HW_PORT to a parallel port's base (e.g. 0x378) to write 64, 65, 64 to it");
    bool ok = false;
    const auto port = static_cast<std::uint16_t>(base.toUInt(&ok, 0));
    QVERIFY(ok);
    PortAccessOptions options;
    options.report = [this](const QString &line) { m_told << line; };
    PortAccess access(options);
    for (std::int16_t value : {64, 65, 64})
        access.Out32(static_cast<std::int16_t>(port), value);
    QVERIFY2(m_told.isEmpty(), qPrintable(m_told.join('\n')));
    QVERIFY(access.routeOf(port) != PortRoute::Virtual);
}

QTEST_GUILESS_MAIN(TestPortAccess)
#include "tst_portaccess.moc"
