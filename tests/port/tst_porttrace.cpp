#include "CountingAllocator.h"
#include "PortAccess.h"
#include "PortTraceReader.h"
#include "PortTraceSupport.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

class TestPortTrace : public QObject
{
    Q_OBJECT

private slots:
    void formatsEveryWrite_data();
    void formatsEveryWrite();
    void appendsToExistingFile();
    void unwritableFileIsToldAndWritesGoOn();
    void onlyTheUsersOwnRegularFile_data();
    void onlyTheUsersOwnRegularFile();
    void createdForTheUserAlone();
    void limitReachedGivesUpWithOneLine();
    void failedWriteGivesUpWithoutKilling_data();
    void failedWriteGivesUpWithoutKilling();
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
    PortTraceRows::readerTakesWhatTheWriterWrites();
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
    PortTraceRows::readerRefusesWhatTheWriterNeverWrites();
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
    PortTraceRows::formatsEveryWrite();
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

void TestPortTrace::onlyTheUsersOwnRegularFile_data()
{
    PortTraceRows::onlyTheUsersOwnRegularFile();
}

// Whatever the variable names, the trace writes to nothing but a regular
// file of the user running the tool, and never waits to open it: a pipe
// with no reader would hold the start up for ever. The refusal is one line
// and the tool goes on without a trace.
void TestPortTrace::onlyTheUsersOwnRegularFile()
{
    QFETCH(QString, what);
    QFETCH(QString, says);
    const QString path = m_dir.filePath(QTest::currentDataTag());
    const QByteArray name = QFile::encodeName(path);
    const QString target = path + QStringLiteral(".target");
    int pipeReader = -1;
    QString tracePath = path;
    if (what == "link" || what == "dangling link") {
        if (what == "link") {
            QFile file(target);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("kept\n");
        }
        QVERIFY(QFile::link(target, path));
    } else if (what == "pipe" || what == "read pipe") {
        QCOMPARE(::mkfifo(name.constData(), 0600), 0);
        if (what == "read pipe")
            pipeReader = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    } else if (what == "directory") {
        QVERIFY(QDir().mkpath(path));
    } else if (what == "/dev/null") {
        tracePath = what;
    } else if (what == "nobody's") {
        if (::getuid() != 0)
            QSKIP("only root can give a file to another user");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QCOMPARE(::chown(name.constData(), 65534, 65534), 0);
    } else if (what == "full") {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(qint64(PortTrace::LimitBytes))); // sparse: costs no disc
    }

    QStringList told;
    PortAccessOptions options;
    options.mode = PortMode::Virtual;
    options.tracePath = tracePath;
    options.report = [&told](const QString &line) { told << line; };
    QElapsedTimer opening;
    opening.start();
    {
        PortAccess access(options);
        access.Out32(0x378, 68);
        QCOMPARE(access.virtualByte(0x378), std::optional<std::uint8_t>(68));
    }
    QVERIFY2(opening.elapsed() < 5000, "opening the trace waited");
    QCOMPARE(told.size(), 1);
    QVERIFY2(told.first().startsWith(QStringLiteral("quarnet: QUARNET_PORT_TRACE=%1: ").arg(tracePath)),
             qPrintable(told.first()));
    QVERIFY2(told.first().contains(says), qPrintable(told.first()));
    QVERIFY2(told.first().endsWith(QStringLiteral("; no trace is written")), qPrintable(told.first()));

    if (what == "link") {
        QFile file(target);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("kept\n"));
    } else if (what == "dangling link") {
        QVERIFY(!QFileInfo::exists(target));
    } else if (what == "read pipe") {
        char byte;
        QCOMPARE(::read(pipeReader, &byte, 1), ssize_t(0)); // nothing in it, and no writer holds it
        ::close(pipeReader);
    } else if (what == "nobody's" || what == "full") {
        QCOMPARE(QFileInfo(path).size(), what == "full" ? qint64(PortTrace::LimitBytes) : 0);
    }
}

void TestPortTrace::createdForTheUserAlone()
{
    const QString path = m_dir.filePath("private");
    const mode_t umaskBefore = ::umask(0);
    PortTrace trace;
    const QString error = trace.open(path);
    ::umask(umaskBefore);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(QFileInfo(path).permissions(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
}

// The step path gives the trace up: one line, made without allocating, and
// from then on every write is a plain return. The file keeps whole lines.
void TestPortTrace::limitReachedGivesUpWithOneLine()
{
    const QString path = m_dir.filePath("limited");
    int tell[2];
    QCOMPARE(::pipe2(tell, O_CLOEXEC | O_NONBLOCK), 0);
    constexpr std::uint64_t Limit = 100;
    qint64 allocations = -1;
    {
        PortTrace trace(tell[1]);
        const QString error = trace.open(path, Limit);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        const long long before = CountingAllocator::allocations();
        for (int i = 0; i < 20; ++i)
            trace.record(0x378, std::uint8_t(i));
        allocations = CountingAllocator::allocations() - before;
        QVERIFY(!trace.isOpen());
    }
    ::close(tell[1]);
    QByteArray said(4096, '\0');
    const ssize_t saidLength = ::read(tell[0], said.data(), said.size());
    ::close(tell[0]);
    said.truncate(qMax<ssize_t>(saidLength, 0));
    QCOMPARE(allocations, 0);
    QCOMPARE(said.count('\n'), 1);
    QVERIFY2(said.startsWith("quarnet: QUARNET_PORT_TRACE=" + QFile::encodeName(path) + ": "), said.constData());
    QVERIFY2(said.contains("limit of 100 bytes"), said.constData());

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray content = file.readAll();
    QList<TraceLine> lines;
    QVERIFY(parseTrace(content, lines));
    QVERIFY(content.size() <= qsizetype(Limit));
    // Every line that fitted is there, in order: the next would not have.
    QVERIFY(content.size() + qsizetype(PortTrace::MaxLine) > qsizetype(Limit));
    for (int index = 0; index < lines.size(); ++index)
        QCOMPARE(lines[index].value, index);
}

void TestPortTrace::failedWriteGivesUpWithoutKilling_data()
{
    PortTraceRows::failedWriteGivesUpWithoutKilling();
}

// A file size limit (ulimit -f) turns the trace's write into EFBIG and a
// SIGXFSZ, or into a short write; either gives the trace up with one line,
// and the writes to the port go on.
void TestPortTrace::failedWriteGivesUpWithoutKilling()
{
    QFETCH(QString, ending);
    QFETCH(QString, handling);
    QFETCH(QString, says);
    const QString path = m_dir.filePath(QTest::currentDataTag());
    constexpr int Count = 50;
    QProcess child;
    QProcessEnvironment environment = childEnvironment("virtual", path);
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    child.setProcessEnvironment(environment);
    child.start(PORT_TRACE_CHILD, {ending, QString::number(Count), handling});
    QVERIFY(child.waitForFinished(10000));
    const QByteArray said = child.readAllStandardError();
    if (says.isEmpty()) {
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        QCOMPARE(child.exitCode(), SIGXFSZ);
    } else {
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 0);
        QCOMPARE(child.readAllStandardOutput(), QByteArray("done\n"));
        QCOMPARE(said.count('\n'), 1);
        QVERIFY2(said.startsWith("quarnet: QUARNET_PORT_TRACE=" + QFile::encodeName(path) + ": "), said.constData());
        QVERIFY2(said.contains(says.toLocal8Bit()), said.constData());
    }

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QList<TraceLine> lines;
    QVERIFY(parseTrace(file.readAll(), lines));
    QCOMPARE(lines.size(), Count);
}

void TestPortTrace::completeAfterProcessEnds_data()
{
    PortTraceRows::completeAfterProcessEnds();
}

// The child writes value i % 256 for write i, so a lost or torn line shows
// as a gap in the sequence or a line that does not parse.
void TestPortTrace::completeAfterProcessEnds()
{
    QFETCH(QString, ending);
    QFETCH(int, count);
    const QString path = m_dir.filePath("child-" + ending);
    QProcess child;
    child.setProcessEnvironment(childEnvironment("virtual", path));
    child.start(PORT_TRACE_CHILD, {ending, QString::number(count)});
    QVERIFY(child.waitForStarted());
    if (ending == "signal") {
        QVERIFY(child.waitForReadyRead(10000));
        QCOMPARE(child.readAllStandardOutput(), QByteArray("ready\n"));
        // Ended while it writes, not before its next write.
        const qint64 atReady = QFileInfo(path).size();
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(path).size() > atReady, 10000);
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
    PortTraceRows::strayAddressesToldOnceOnStderr();
}

// Through the real standard error: one whole line per port, however often
// the port is written, and never a real route for these addresses.
void TestPortTrace::strayAddressesToldOnceOnStderr()
{
    QFETCH(QString, mode);
    QFETCH(QStringList, told);
    QProcess child;
    child.setProcessEnvironment(childEnvironment(mode, {}));
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
