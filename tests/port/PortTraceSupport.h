#pragma once

#include <QByteArray>
#include <QList>
#include <QProcessEnvironment>
#include <QString>

// One line of a trace file, its port in the lower-case hex, three digits at
// the least, that the file holds.
struct TraceLine
{
    quint64 ns;
    QString port;
    int value;
};

// Every line must be whole: a torn or partial line fails the parse.
bool parseTrace(const QByteArray &content, QList<TraceLine> &lines);

// The clock the trace's times come from, to bound them by.
quint64 monotonicNow();

// For port_trace_child: QUARNET_PORT set to `port`, and the trace written
// to `trace`, or to nothing when it is empty (whatever the test's own
// environment names).
QProcessEnvironment childEnvironment(const QString &port, const QString &trace);

// The rows of TestPortTrace's data-driven tests, each function named as the
// test it feeds.
namespace PortTraceRows {
void readerTakesWhatTheWriterWrites();
void readerRefusesWhatTheWriterNeverWrites();
void formatsEveryWrite();
void onlyTheUsersOwnRegularFile();
void failedWriteGivesUpWithoutKilling();
void completeAfterProcessEnds();
void strayAddressesToldOnceOnStderr();
} // namespace PortTraceRows
