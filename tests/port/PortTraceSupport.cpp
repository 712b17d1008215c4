#include "PortTraceSupport.h"

#include "ChildProcess.h"
#include "PortTraceReader.h"

#include <QtTest>
#include <ctime>

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

QProcessEnvironment childEnvironment(const QString &port, const QString &trace)
{
    QProcessEnvironment environment = ChildProcess::environment();
    environment.insert("QUARNET_PORT", port);
    if (trace.isEmpty())
        environment.remove("QUARNET_PORT_TRACE");
    else
        environment.insert("QUARNET_PORT_TRACE", trace);
    return environment;
}

namespace PortTraceRows {

void readerTakesWhatTheWriterWrites()
{
    QTest::addColumn<quint64>("ns");
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("value");
    QTest::newRow("lpt1") << quint64(123456789) << 0x378 << 68;
    QTest::newRow("small port, zero") << quint64(0) << 0x3 << 0;
    QTest::newRow("pci base, top byte") << quint64(UINT64_MAX) << 0xFFFF << 255;
}

void readerRefusesWhatTheWriterNeverWrites()
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

void formatsEveryWrite()
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

void onlyTheUsersOwnRegularFile()
{
    QTest::addColumn<QString>("what");
    QTest::addColumn<QString>("says");
    QTest::newRow("link to a file") << "link" << "symbolic link";
    QTest::newRow("link to nothing") << "dangling link" << "symbolic link";
    QTest::newRow("named pipe, no reader") << "pipe" << "named pipe";
    QTest::newRow("named pipe, a reader") << "read pipe" << "named pipe";
    QTest::newRow("directory") << "directory" << "directory";
    QTest::newRow("character device") << "/dev/null" << "character device";
    QTest::newRow("another user's file") << "nobody's" << "belongs to user 65534";
    QTest::newRow("file at the limit") << "full" << "already holds 268435456 bytes";
}

void failedWriteGivesUpWithoutKilling()
{
    QTest::addColumn<QString>("ending");
    QTest::addColumn<QString>("handling");
    QTest::addColumn<QString>("says"); // empty: killed by SIGXFSZ
    QTest::newRow("at the size limit") << "at-size-limit" << "handled" << "(ulimit -f)";
    QTest::newRow("a line across the size limit") << "across-size-limit" << "handled" << "did not fit whole";
    // Shows that the child really meets the limit: without the tool's
    // handling the kernel's SIGXFSZ kills it.
    QTest::newRow("at the size limit, SIGXFSZ left alone") << "at-size-limit" << "default" << "";
}

void completeAfterProcessEnds()
{
    QTest::addColumn<QString>("ending");
    QTest::addColumn<int>("count");
    QTest::newRow("normal end") << "return" << 5000;
    QTest::newRow("_exit without clean-up") << "_exit" << 5000;
    QTest::newRow("shutdown then _exit") << "shutdown" << 5000;
    QTest::newRow("SIGTERM mid-run") << "signal" << 20000;
}

void strayAddressesToldOnceOnStderr()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QStringList>("told"); // the start of each stderr line, in order
    const QStringList ports{"quarnet: port 0x003 ", "quarnet: port 0x123 ", "quarnet: port 0xffff "};
    QTest::newRow("auto") << "auto" << ports;
    QTest::newRow("ppdev") << "ppdev" << ports;
    QTest::newRow("direct") << "direct" << ports;
    QTest::newRow("virtual is silent") << "virtual" << QStringList{};
}

} // namespace PortTraceRows
