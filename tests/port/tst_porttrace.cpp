#include "ChildProcess.h"
#include "PortAccess.h"
#include "PortTraceReader.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <ctime>

namespace {

struct TraceLine
{
    quint64 ns;
    QString port;
    int value;
};

// Every line must be whole: a torn or partial line fails the parse.
bool parseTrace(const QByteArray &content, QList<TraceLine> &lines)
{
    const PortTraceContents trace = PortTraceReader::parse(content);
    for (const PortTraceLine &line : trace.lines)
        lines.append({line.ns, QString::number(line.port, 16).rightJustified(3, u'0'), line.value});
    return trace.fault.isEmpty();
}

quint64 monotonicNow()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return quint64(now.tv_sec) * 1000000000u + quint64(now.tv_nsec);
}

} // namespace

class TestPortTrace : public QObject
{
    Q_OBJECT

private slots:
    void formatsEveryWrite_data();
    void formatsEveryWrite();
    void appendsToExistingFile();
    void unwritableFileIsToldAndWritesGoOn();
    void completeAfterProcessEnds_data();
    void completeAfterProcessEnds();
    void strayAddressesToldOnceOnStderr_data();
    void strayAddressesToldOnceOnStderr();
    void readerTakesWhatTheWriterWrites_data();
    void readerTakesWhatTheWriterWrites();
    void readerRefusesWhatTheWriterNeverWrites_data();
    void readerRefusesWhatTheWriterNeverWrites();

private:
    QTemporaryDir m_dir;
};

void TestPortTrace::readerTakesWhatTheWriterWrites_data()
{
    QTest::addColumn<quint64>("ns");
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("value");
    QTest::newRow("lpt1") << quint64(123456789) << 0x378 << 68;
    QTest::newRow("small port, zero") << quint64(0) << 0x3 << 0;
    QTest::newRow("pci base, top byte") << quint64(UINT64_MAX) << 0xFFFF << 255;
}

void TestPortTrace::readerTakesWhatTheWriterWrites()
{
    QFETCH(quint64, ns);
    QFETCH(int, port);
    QFETCH(int, value);
    char line[PortTrace::MaxLine];
    const std::size_t length = PortTrace::formatLine(line, ns, std::uint16_t(port), std::uint8_t(value));
    const PortTraceContents trace = PortTraceReader::parse(QByteArrayView(line, qsizetype(length)));
    QVERIFY2(trace.fault.isEmpty(), qPrintable(trace.fault));
    QCOMPARE(trace.lines.size(), 1);
    QCOMPARE(trace.lines[0].ns, ns);
    QCOMPARE(int(trace.lines[0].port), port);
    QCOMPARE(int(trace.lines[0].value), value);
}

void TestPortTrace::readerRefusesWhatTheWriterNeverWrites_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("wholeLines");
    QTest::newRow("torn last line") << QByteArray("1 0x378 64\n2 0x378 6") << 1;
    QTest::newRow("value above a byte") << QByteArray("1 0x378 256\n") << 0;
    QTest::newRow("upper-case hex") << QByteArray("1 0x37A 64\n") << 0;
    QTest::newRow("two hex digits") << QByteArray("1 0x78 64\n") << 0;
    QTest::newRow("no 0x") << QByteArray("1 378 64\n") << 0;
    QTest::newRow("missing value") << QByteArray("1 0x378\n") << 0;
    QTest::newRow("trailing blank") << QByteArray("1 0x378 64 \n") << 0;
    QTest::newRow("time not a number") << QByteArray("1 0x378 64\nx 0x378 64\n") << 1;
    QTest::newRow("time beyond 64 bits") << QByteArray("18446744073709551616 0x378 64\n") << 0;
}

void TestPortTrace::readerRefusesWhatTheWriterNeverWrites()
{
    QFETCH(QByteArray, content);
    QFETCH(int, wholeLines);
    const PortTraceContents trace = PortTraceReader::parse(content);
    QVERIFY(!trace.fault.isEmpty());
    QCOMPARE(trace.lines.size(), wholeLines);
}

void TestPortTrace::formatsEveryWrite_data()
{
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("legacy base") << 0x378 << 64 << "0x378 64";
    QTest::newRow("3bc lower case") << 0x3BC << 0 << "0x3bc 0";
    QTest::newRow("&H3 padded") << 0x3 << 1 << "0x003 1";
    QTest::newRow("two digits padded") << 0x2A << 255 << "0x02a 255";
    QTest::newRow("four digits") << 0xD010 << 70 << "0xd010 70";
    QTest::newRow("&HFFFF is -1") << -1 << 72 << "0xffff 72";
    QTest::newRow("value masked") << 0x278 << 0x141 << "0x278 65";
}

void TestPortTrace::formatsEveryWrite()
{
    QFETCH(int, port);
    QFETCH(int, value);
    QFETCH(QString, expected);
    const QString path = m_dir.filePath(QTest::currentDataTag());
    PortAccessOptions options;
    options.mode = PortMode::Virtual;
    options.tracePath = path;
    const quint64 before = monotonicNow();
    {
        PortAccess access(options);
        for (int repeat = 0; repeat < 3; ++repeat)
            access.Out32(static_cast<std::int16_t>(port), static_cast<std::int16_t>(value));
    }
    const quint64 after = monotonicNow();

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QList<TraceLine> lines;
    QVERIFY(parseTrace(file.readAll(), lines));
    QCOMPARE(lines.size(), 3);
    for (int index = 0; index < lines.size(); ++index) {
        QCOMPARE(QStringLiteral("0x%1 %2").arg(lines[index].port).arg(lines[index].value), expected);
        QVERIFY(lines[index].ns >= before && lines[index].ns <= after);
        if (index > 0)
            QVERIFY(lines[index].ns > lines[index - 1].ns);
    }
}

void TestPortTrace::appendsToExistingFile()
{
    const QString path = m_dir.filePath("existing");
    QFile seed(path);
    QVERIFY(seed.open(QIODevice::WriteOnly));
    seed.write("1 0x378 64\n");
    seed.close();
    PortAccessOptions options;
    options.mode = PortMode::Virtual;
    options.tracePath = path;
    PortAccess(options).Out32(0x378, 68);

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QList<TraceLine> lines;
    QVERIFY(parseTrace(file.readAll(), lines));
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines[0].ns, 1u);
    QCOMPARE(lines[1].value, 68);
}

void TestPortTrace::unwritableFileIsToldAndWritesGoOn()
{
    QStringList told;
    PortAccessOptions options;
    options.mode = PortMode::Virtual;
    options.tracePath = m_dir.filePath("no/such/dir/trace");
    options.report = [&told](const QString &line) { told << line; };
    PortAccess access(options);
    access.Out32(0x378, 68);
    QCOMPARE(told.size(), 1);
    QVERIFY(told.first().contains("QUARNET_PORT_TRACE"));
    QCOMPARE(access.virtualByte(0x378), std::optional<std::uint8_t>(68));
}

void TestPortTrace::completeAfterProcessEnds_data()
{
    QTest::addColumn<QString>("ending");
    QTest::addColumn<int>("count");
    QTest::newRow("normal end") << "return" << 5000;
    QTest::newRow("_exit without clean-up") << "_exit" << 5000;
    QTest::newRow("shutdown then _exit") << "shutdown" << 5000;
    QTest::newRow("SIGTERM mid-run") << "signal" << 20000;
}

// The child writes value i % 256 for write i, so a lost or torn line shows
// as a gap in the sequence or a line that does not parse.
void TestPortTrace::completeAfterProcessEnds()
{
    QFETCH(QString, ending);
    QFETCH(int, count);
    const QString path = m_dir.filePath("child-" + ending);
    QProcess child;
    QProcessEnvironment environment = ChildProcess::environment();
    environment.insert("QUARNET_PORT", "virtual");
    environment.insert("QUARNET_PORT_TRACE", path);
    child.setProcessEnvironment(environment);
    child.start(PORT_TRACE_CHILD, {ending, QString::number(count)});
    QVERIFY(child.waitForStarted());
    if (ending == "signal") {
        QVERIFY(child.waitForReadyRead(10000));
        QCOMPARE(child.readAllStandardOutput(), QByteArray("ready\n"));
        QTest::qWait(20);
        child.terminate();
    }
    QVERIFY(child.waitForFinished(10000));
    if (ending == "signal") {
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        QCOMPARE(child.exitCode(), SIGTERM);
    } else {
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 0);
    }
    QVERIFY(child.readAllStandardError().isEmpty());

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QList<TraceLine> lines;
    QVERIFY(parseTrace(file.readAll(), lines));
    if (ending == "signal")
        QVERIFY2(lines.size() > count, qPrintable(QString::number(lines.size())));
    else
        QCOMPARE(lines.size(), count);
    for (int index = 0; index < lines.size(); ++index) {
        QCOMPARE(lines[index].port, QString("378"));
        QCOMPARE(lines[index].value, index % 256);
        if (index > 0)
            QVERIFY(lines[index].ns > lines[index - 1].ns);
    }
}

void TestPortTrace::strayAddressesToldOnceOnStderr_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QStringList>("told"); // the start of each stderr line, in order
    const QStringList ports{"quarnet: port 0x003 ", "quarnet: port 0x123 ", "quarnet: port 0xffff "};
    QTest::newRow("auto") << "auto" << ports;
    QTest::newRow("ppdev") << "ppdev" << ports;
    QTest::newRow("direct") << "direct" << ports;
    QTest::newRow("virtual is silent") << "virtual" << QStringList{};
    QTest::newRow("unknown mode") << "lpt1" << (QStringList{"quarnet: QUARNET_PORT=lpt1 "} + ports);
}

// Through the real standard error: one whole line per port, however often
// the port is written, and never a real route for these addresses.
void TestPortTrace::strayAddressesToldOnceOnStderr()
{
    QFETCH(QString, mode);
    QFETCH(QStringList, told);
    QProcess child;
    QProcessEnvironment environment = ChildProcess::environment();
    environment.insert("QUARNET_PORT", mode);
    environment.remove("QUARNET_PORT_TRACE");
    child.setProcessEnvironment(environment);
    child.start(PORT_TRACE_CHILD, {"stray", "0"});
    QVERIFY(child.waitForFinished(10000));
    QCOMPARE(child.exitCode(), 0);
    const QStringList lines = QString::fromLocal8Bit(child.readAllStandardError())
                                  .split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), told.size());
    for (int index = 0; index < lines.size(); ++index)
        QVERIFY2(lines[index].startsWith(told[index]), qPrintable(lines[index]));
}

QTEST_GUILESS_MAIN(TestPortTrace)
#include "tst_porttrace.moc"
