#pragma once

#include "PortTraceReader.h"

#include <QList>
#include <QString>
#include <QStringList>

// A trace as the bytes the port was given, in order, and those bytes as one
// line for a failure's message: what two runs are compared by.
inline QList<int> traceBytes(const QString &path)
{
    QList<int> bytes;
    for (const PortTraceLine &line : PortTraceReader::readFile(path).lines)
        bytes << line.value;
    return bytes;
}

inline QString bytesText(const QList<int> &bytes)
{
    QStringList parts;
    for (int b : bytes)
        parts << QString::number(b);
    return parts.join(QLatin1Char(' '));
}
