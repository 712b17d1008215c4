#include "FakePortSystem.h"
#include "PortAccess.h"
#include "PortKernelList.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <cerrno>

Q_DECLARE_METATYPE(PortMode)
Q_DECLARE_METATYPE(PortRoute)

// Direct I/O writes under every driver: where it is taken, and where the
// kernel's own lists keep it off.
class TestDirectIo : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void directIoStaysOffWhatOthersHold_data();
    void directIoStaysOffWhatOthersHold();
    void permissionTakenBeforeRootIsGivenUp();
    void ioportsHolder_data();
    void ioportsHolder();

private:
    PortAccessOptions fakeOptions(PortMode mode) { return m_system.options(mode, m_told); }

    QTemporaryDir m_dir;
    FakePortSystem m_system;
    QStringList m_told;
};

void TestDirectIo::init()
{
    QVERIFY(m_dir.isValid() && FakePortSystem::emptyTree(m_dir.path()));
    m_system.reset(m_dir.path());
    m_told.clear();
}

void TestDirectIo::directIoStaysOffWhatOthersHold_data()
{
    QTest::addColumn<PortMode>("mode");
    QTest::addColumn<QStringList>("baseAddrs");
    QTest::addColumn<QString>("active"); // parport0's devices/active; empty: no such file
    QTest::addColumn<QString>("ioports");
    QTest::addColumn<PortRoute>("route");
    QTest::addColumn<QString>("told"); // empty: silent

    const QString pciOnly = "0000-0cf7 : PCI Bus 0000:00\n  0000-001f : dma1\n  03f8-03ff : serial\n";
    QTest::newRow("forced, nothing holds it") << PortMode::Direct << QStringList{} << "" << pciOnly
                                              << PortRoute::Direct << "";
    QTest::newRow("forced, the driver's range") << PortMode::Direct << QStringList{} << ""
        << pciOnly + "  0378-037a : parport0\n" << PortRoute::Virtual << "the kernel's driver parport0 holds";
    QTest::newRow("forced, claimed by a program") << PortMode::Direct << QStringList{"888\t1912"} << "ppdev0\n"
        << pciOnly << PortRoute::Virtual << "parport0 is claimed by ppdev0";
    QTest::newRow("forced, the printer's claim") << PortMode::Direct << QStringList{"888\t1912"} << "lp0\n"
        << pciOnly + "  0378-037a : parport0\n" << PortRoute::Virtual << "claimed by lp0";
    QTest::newRow("forced, listed and free") << PortMode::Direct << QStringList{"888\t1912"} << "none\n"
        << pciOnly << PortRoute::Direct << "";
    QTest::newRow("auto, unlisted, a range reserved by a device id only") << PortMode::Auto << QStringList{} << ""
        << pciOnly + "  0378-037f : 00:06\n" << PortRoute::Direct << "";
    QTest::newRow("auto, unlisted, another driver's range") << PortMode::Auto << QStringList{} << ""
        << pciOnly + "  0370-0377 : ata_piix\n  0376-037f : someboard\n" << PortRoute::Virtual << "someboard holds";
}

// Direct I/O bypasses the kernel: it must never write where a driver holds
// the port's range or a program has claimed the port.
void TestDirectIo::directIoStaysOffWhatOthersHold()
{
    QFETCH(PortMode, mode);
    QFETCH(QStringList, baseAddrs);
    QFETCH(QString, active);
    QFETCH(QString, ioports);
    QFETCH(PortRoute, route);
    QFETCH(QString, told);
    QVERIFY(FakePortSystem::layOutTree(m_dir.path(), baseAddrs, {}));
    const auto put = [](const QString &path, const QString &text) {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) == text.toUtf8().size();
    };
    QVERIFY(put(m_dir.path() + "/proc/ioports", ioports));
    if (!active.isEmpty())
        QVERIFY(put(m_dir.path() + "/proc/sys/dev/parport/parport0/devices/active", active));

    PortAccess access(fakeOptions(mode));
    access.Out32(0x378, 68);
    QCOMPARE(access.routeOf(0x378), route);
    const QStringList touched = m_system.log.filter(QRegularExpression("^(ioperm|outb)"));
    QCOMPARE(touched.isEmpty(), route != PortRoute::Direct);
    QCOMPARE(m_told.size(), told.isEmpty() ? 0 : 1);
    if (!told.isEmpty())
        QVERIFY2(m_told.first().contains(told), qPrintable(m_told.first()));
}

// Started through sudo, the tool takes the direct I/O permission for the
// bases it could write directly, then gives up root: a base it took is
// written though ioperm would now refuse; one it did not take stays virtual.
// (The permission outlives this test: it runs last of those on direct I/O.)
void TestDirectIo::permissionTakenBeforeRootIsGivenUp()
{
    QVERIFY(FakePortSystem::layOutTree(m_dir.path(), {"888\t1912"}, {"parport0"}));
    QFile ioports(m_dir.path() + "/proc/ioports");
    QVERIFY(ioports.open(QIODevice::WriteOnly));
    ioports.write("0000-0cf7 : PCI Bus 0000:00\n  03bc-03be : somedriver\n");
    ioports.close();
    FakePortSystem &fake = m_system;

    // Automatic: 0x378 is the kernel's (ppdev's), 0x3bc a driver's.
    PortChoice automatic;
    QCOMPARE(PortAccess::grantDirectAhead(automatic, m_system, m_dir.path() + "/proc"),
             (QList<std::uint16_t>{0x278}));
    PortChoice direct;
    direct.mode = PortMode::Direct;
    QCOMPARE(PortAccess::grantDirectAhead(direct, m_system, m_dir.path() + "/proc"),
             (QList<std::uint16_t>{0x278, 0x378}));
    QCOMPARE(fake.log.filter("ioperm"), (QStringList{"ioperm 0x278 1 1", "ioperm 0x278 1 1", "ioperm 0x378 1 1"}));

    fake.iopermErrno = EPERM; // no longer root
    fake.log.clear();
    PortAccess access(fakeOptions(PortMode::Direct));
    access.Out32(0x378, 65);
    access.Out32(0x278, 68);
    QCOMPARE(access.routeOf(0x378), PortRoute::Direct);
    QCOMPARE(access.routeOf(0x278), PortRoute::Direct);
    QCOMPARE(fake.log, (QStringList{"outb 0x378 65", "outb 0x278 68"}));
    access.Out32(0x3BC, 68);
    QCOMPARE(access.routeOf(0x3BC), PortRoute::Virtual);
}

void TestDirectIo::ioportsHolder_data()
{
    QTest::addColumn<QString>("ioports");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("holder");
    const QString machine = "0000-0cf7 : PCI Bus 0000:00\n"
                            "  0000-001f : dma1\n"
                            "  0370-0377 : 00:05\n"
                            "    0376-0376 : ata_piix\n"
                            "  0378-037f : 00:06\n"
                            "    0378-037a : parport0\n"
                            "  03f8-03ff : serial\n"
                            "0d00-ffff : PCI Bus 0000:00\n"
                            "  d010-d017 : 0000:05:00.0\n"
                            "    d010-d012 : parport1\n";
    QTest::newRow("the innermost entry") << machine << 0x378 << "parport0";
    QTest::newRow("its last port") << machine << 0x37A << "parport0";
    QTest::newRow("past the driver, inside the device's reservation") << machine << 0x37C << "";
    QTest::newRow("a PCI card's driver") << machine << 0xD010 << "parport1";
    QTest::newRow("a bus alone holds nothing") << machine << 0x278 << "";
    QTest::newRow("what an ordinary user reads") << "0000-0000 : PCI Bus 0000:00\n  0000-0000 : parport0\n"
                                                 << 0x378 << "";
    QTest::newRow("not the kernel's text") << "parport0 0378\n\n-- : x\n" << 0x378 << "";
}

void TestDirectIo::ioportsHolder()
{
    QFETCH(QString, ioports);
    QFETCH(int, port);
    QFETCH(QString, holder);
    QCOMPARE(PortKernelList::ioportHolderIn(ioports.toUtf8(), std::uint16_t(port)), holder);
}

QTEST_GUILESS_MAIN(TestDirectIo)
#include "tst_directio.moc"
