#pragma once

#include "IPort.h"

#include <QList>

// Remembers every byte written and the port it went to, the port as the
// drive passed it: signed, so "&HFFFF" is recorded as -1.
class RecordingPort : public IPort
{
public:
    struct Write
    {
        int port;
        int value;
        bool operator==(const Write &) const = default;
    };

    void Out32(std::int16_t port, std::int16_t value) override { writes.append({port, value}); }

    QList<int> values(qsizetype from = 0) const
    {
        QList<int> result;
        for (qsizetype i = from; i < writes.size(); ++i)
            result.append(writes[i].value);
        return result;
    }

    QList<Write> writes;
};

using Write = RecordingPort::Write;
