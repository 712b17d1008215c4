// The one table of seam-level cases for the configured libgpiod backend,
// run on a fake of the same major's C API: the same rows, the same answers
// and the same kernel traffic for libgpiod 1 and libgpiod 2.
#include "CountingAllocator.h"
#include "FakeLibgpiod.h"
#include "gpio/GpioLibrary.h"

#include <QtTest>
#include <cerrno>
#include <sys/stat.h>
#include <atomic>
#include <cstdlib>
#include <new>

namespace {

struct ErrnoName
{
    int error;
    const char *name;
};

constexpr ErrnoName ErrnoNames[] = {{0, "0"},           {ENOENT, "ENOENT"}, {EACCES, "EACCES"},
                                    {EBUSY, "EBUSY"},   {EINVAL, "EINVAL"}, {EBADF, "EBADF"},
                                    {EPERM, "EPERM"},   {ENODEV, "ENODEV"}, {ENOTTY, "ENOTTY"}};

QString nameOf(int error)
{
    for (const ErrnoName &entry : ErrnoNames) {
        if (entry.error == error)
            return QString::fromLatin1(entry.name);
    }
    return QString::number(error);
}

int errnoNamed(const QString &name)
{
    for (const ErrnoName &entry : ErrnoNames) {
        if (name == QLatin1String(entry.name))
            return entry.error;
    }
    return -1;
}

QList<unsigned> offsetsIn(const QString &list)
{
    QList<unsigned> offsets;
    for (const QString &item : list.split(QLatin1Char(',')))
        offsets << item.toUInt();
    return offsets;
}

} // namespace


class TestGpioLibrary : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void seamCases_data();
    void seamCases();
    void settingAllocatesNothing();
    void nodeCheckOpensNothing_data();
    void nodeCheckOpensNothing();

private:
    void setUp(const QString &chips);
    QString call(GpioLibrary &library, const QString &step);

    FakeGpioKernel m_kernel;
};

void TestGpioLibrary::initTestCase()
{
    qInfo("libgpiod %d backend on the fake C API", fakeLibgpiodMajor());
}

void TestGpioLibrary::init()
{
    m_kernel = FakeGpioKernel{};
    m_kernel.chips << FakeGpioChip{"gpiochip1", "raspberrypi-exp-gpio", 8, {}, {}, 0, 0, 0, 0, 0};
    useFakeLibgpiod(&m_kernel);
}

// "names 17=GPIO17 18=GPIO18", "held 27=spi0 CS0", "kernel-held 4",
// "label -" (none given), "open-fails EACCES", "set-fails ENODEV after 1",
// separated by ";", all on gpiochip0.
void TestGpioLibrary::setUp(const QString &chips)
{
    FakeGpioChip &chip = m_kernel.chips[0];
    for (const QString &rule : chips.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString what = rule.trimmed().section(QLatin1Char(' '), 0, 0);
        const QString rest = rule.trimmed().section(QLatin1Char(' '), 1);
        if (what == "names") {
            for (const QString &pair : rest.split(QLatin1Char(' ')))
                chip.lineNames.insert(pair.section('=', 0, 0).toUInt(), pair.section('=', 1).toUtf8());
        } else if (what == "held") {
            chip.holders.insert(rest.section('=', 0, 0).toUInt(), rest.section('=', 1).toUtf8());
        } else if (what == "kernel-held") {
            chip.holders.insert(rest.toUInt(), QByteArray());
        } else if (what == "label") {
            chip.label.clear();
        } else if (what == "open-fails") {
            chip.openErrno = errnoNamed(rest);
        } else if (what == "set-fails") {
            chip.setErrno = errnoNamed(rest.section(' ', 0, 0));
            chip.setsBeforeFailure = rest.section(' ', 2).toInt();
        } else {
            QFAIL(qPrintable("no such set-up: " + rule));
        }
    }
}

// One seam call and its answer: an errno's name, or what was read.
QString TestGpioLibrary::call(GpioLibrary &library, const QString &step)
{
    const QString verb = step.section(QLatin1Char(' '), 0, 0);
    const QString argument = step.section(QLatin1Char(' '), 1);
    if (verb == "open")
        return nameOf(library.openChip(argument.toLocal8Bit()));
    if (verb == "info") {
        GpioChipInfo info;
        const int error = library.chipInfo(info);
        return error ? nameOf(error) : QString::fromUtf8(info.label) + ' ' + QString::number(info.lineCount);
    }
    if (verb == "line") {
        GpioLineInfo info;
        if (const int error = library.lineInfo(argument.toUInt(), info))
            return nameOf(error);
        const QString name = info.name.isEmpty() ? QStringLiteral("-") : QString::fromUtf8(info.name);
        if (!info.used)
            return name + " free";
        return name + (info.consumer.isEmpty() ? QStringLiteral(" held, no name")
                                               : " held by " + QString::fromUtf8(info.consumer));
    }
    if (verb == "request") {
        const QList<unsigned> offsets = offsetsIn(argument);
        return nameOf(library.requestOutputs({offsets.constData(), std::size_t(offsets.size())}, "quarnet"));
    }
    if (verb == "set") {
        QList<int> values;
        for (const QString &value : argument.split(QLatin1Char(' ')))
            values << value.toInt();
        return nameOf(library.setValues({values.constData(), std::size_t(values.size())}));
    }
    if (verb == "release") {
        library.release();
        return QStringLiteral("-");
    }
    return "no such step: " + step;
}

void TestGpioLibrary::seamCases_data()
{
    QTest::addColumn<QString>("chips");
    QTest::addColumn<QString>("steps");       // separated by ";"
    QTest::addColumn<QStringList>("answers"); // one per step
    QTest::addColumn<QStringList>("kernel");  // what reached the kernel

    const QString take = "open /dev/gpiochip0; request 17,18,27,22";
    const QStringList taken{"open gpiochip0", "request gpiochip0 17,18,27,22 as quarnet low"};
    const QStringList handedBack{"release gpiochip0 17,18,27,22", "close gpiochip0"};

    QTest::newRow("outputs starting low, all set in one call")
        << "" << take + "; set 1 0 0 0; set 0 1 1 0; release" << QStringList{"0", "0", "0", "0", "-"}
        << taken + QStringList{"set 1 0 0 0", "set 0 1 1 0"} + handedBack;
    QTest::newRow("five lines")
        << "" << "open /dev/gpiochip0; request 17,18,27,22,23; set 0 0 0 0 1"
        << QStringList{"0", "0", "0"}
        << QStringList{"open gpiochip0", "request gpiochip0 17,18,27,22,23 as quarnet low", "set 0 0 0 0 1",
                       "release gpiochip0 17,18,27,22,23", "close gpiochip0"};
    QTest::newRow("label, line count and line names")
        << "names 17=GPIO17 4=GPIO4" << "open /dev/gpiochip0; info; line 17; line 4; line 3"
        << QStringList{"0", "pinctrl-bcm2835 54", "GPIO17 free", "GPIO4 free", "- free"}
        << QStringList{"open gpiochip0", "close gpiochip0"};
    QTest::newRow("a chip the device gave no label")
        << "label -" << "open /dev/gpiochip0; info" << QStringList{"0", "unknown 54"}
        << QStringList{"open gpiochip0", "close gpiochip0"};
    QTest::newRow("the second chip")
        << "" << "open /dev/gpiochip1; info" << QStringList{"0", "raspberrypi-exp-gpio 8"}
        << QStringList{"open gpiochip1", "close gpiochip1"};
    QTest::newRow("a line held by a named consumer is refused")
        << "held 27=spi0 CS0" << take + "; line 27"
        << QStringList{"0", "EBUSY", "- held by spi0 CS0"} << taken + QStringList{"close gpiochip0"};
    QTest::newRow("a line the kernel holds with no name is refused")
        << "kernel-held 22" << take + "; line 22" << QStringList{"0", "EBUSY", "- held, no name"}
        << taken + QStringList{"close gpiochip0"};
    QTest::newRow("its own lines show its name and are not requested twice")
        << "names 17=GPIO17" << take + "; line 17; request 17,18,27,22"
        << QStringList{"0", "0", "GPIO17 held by quarnet", "EBUSY"} << taken + handedBack;
    QTest::newRow("an offset the chip lacks")
        << "" << "open /dev/gpiochip0; line 54; request 17,18,54,22"
        << QStringList{"0", "EINVAL", "EINVAL"}
        << QStringList{"open gpiochip0", "close gpiochip0"};
    QTest::newRow("no such chip") << "" << "open /dev/gpiochip7; info" << QStringList{"ENOENT", "EBADF"}
                                  << QStringList{"open gpiochip7"};
    QTest::newRow("permission denied")
        << "open-fails EACCES" << "open /dev/gpiochip0; request 17,18,27,22"
        << QStringList{"EACCES", "EBADF"} << QStringList{"open gpiochip0"};
    QTest::newRow("not a GPIO chip") << "open-fails ENOTTY" << "open /dev/gpiochip0"
                                     << QStringList{"ENOTTY"} << QStringList{"open gpiochip0"};
    QTest::newRow("a set that fails, as an unplugged chip's does")
        << "set-fails ENODEV after 1" << take + "; set 1 0 0 0; set 0 1 0 0; set 0 0 1 0"
        << QStringList{"0", "0", "0", "ENODEV", "ENODEV"} << taken + QStringList{"set 1 0 0 0"} + handedBack;
    QTest::newRow("refusals before open")
        << "" << "info; line 0; request 17,18,27,22; set 1 0 0 0; release"
        << QStringList{"EBADF", "EBADF", "EBADF", "EPERM", "-"} << QStringList{};
    QTest::newRow("set before request") << "" << "open /dev/gpiochip0; set 1 0 0 0"
                                        << QStringList{"0", "EPERM"}
                                        << QStringList{"open gpiochip0", "close gpiochip0"};
    QTest::newRow("refusals after release, then open again")
        << "" << take + "; release; set 1 0 0 0; info; request 1,2,3,4; release; open /dev/gpiochip1"
        << QStringList{"0", "0", "-", "EPERM", "EBADF", "EBADF", "-", "0"}
        << taken + handedBack + QStringList{"open gpiochip1", "close gpiochip1"};
    QTest::newRow("one chip at a time")
        << "" << "open /dev/gpiochip0; open /dev/gpiochip1" << QStringList{"0", "EBUSY"}
        << QStringList{"open gpiochip0", "close gpiochip0"};
}

// Whatever the case, the backend's end hands back every line, descriptor
// and library object.
void TestGpioLibrary::seamCases()
{
    QFETCH(QString, chips);
    QFETCH(QString, steps);
    QFETCH(QStringList, answers);
    QFETCH(QStringList, kernel);
    setUp(chips);

    QStringList answered;
    {
        const std::unique_ptr<GpioLibrary> library = makeLibgpiod();
        for (const QString &step : steps.split(QLatin1Char(';')))
            answered << call(*library, step.trimmed());
    }
    QCOMPARE(answered, answers);
    QCOMPARE(m_kernel.log, kernel);
    QCOMPARE(m_kernel.openDescriptors, 0);
    QCOMPARE(m_kernel.liveObjects, 0);
}

// Each step's set runs on the way to _exit too, so it must not allocate.
void TestGpioLibrary::settingAllocatesNothing()
{
    m_kernel.logSets = false;
    const std::unique_ptr<GpioLibrary> library = makeLibgpiod();
    QCOMPARE(library->openChip("/dev/gpiochip0"), 0);
    const unsigned offsets[] = {17, 18, 27, 22, 23};
    QCOMPARE(library->requestOutputs(offsets, "quarnet"), 0);
    const int values[] = {1, 0, 1, 0, 1};
    int failures = 0;
    const long before = CountingAllocator::allocations();
    for (int step = 0; step < 100; ++step)
        failures += library->setValues(values) != 0;
    const long allocated = CountingAllocator::allocations() - before;
    QCOMPARE(failures, 0);
    QCOMPARE(allocated, 0L);
    QCOMPARE(m_kernel.chips[0].sets, 100);
}

void TestGpioLibrary::nodeCheckOpensNothing_data()
{
    QTest::addColumn<QString>("node"); // in a fresh folder, or a device's path
    QTest::addColumn<int>("answer");
    QTest::newRow("nothing there") << "missing" << ENOENT;
    QTest::newRow("a regular file") << "file" << ENOTTY;
    // Opened for writing, a FIFO with no reader would block for ever.
    QTest::newRow("a FIFO with no reader") << "fifo" << ENOTTY;
    QTest::newRow("a character device of another subsystem") << "/dev/null" << ENOTTY;
    QTest::newRow("a link to one") << "link" << ENOTTY;
    QTest::newRow("a folder") << "folder" << ENOTTY;
}

// The real check, on what a user could name: none of it is a GPIO chip, and
// finding that out opens nothing.
void TestGpioLibrary::nodeCheckOpensNothing()
{
    QFETCH(QString, node);
    QFETCH(int, answer);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QFile file(dir.filePath("file"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath("fifo")).constData(), 0600), 0);
    QVERIFY(QFile::link("/dev/null", dir.filePath("link")));
    QVERIFY(QDir(dir.path()).mkdir("folder"));
    const QString path = node.startsWith('/') ? node : dir.filePath(node);

    const std::unique_ptr<GpioLibrary> library = makeLibgpiod();
    QCOMPARE(library->checkChip(QFile::encodeName(path)), answer);
    QVERIFY2(m_kernel.log.isEmpty(), qPrintable(m_kernel.log.join(", ")));
}

QTEST_GUILESS_MAIN(TestGpioLibrary)
#include "tst_gpiolibrary.moc"
