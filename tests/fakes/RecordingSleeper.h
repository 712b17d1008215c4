#pragma once

#include "ISleeper.h"

#include <QStringList>

// Sleeps no time; notes each sleep as "sleep <ms>" in `log`, or in the list
// it was given, where other fakes may note their calls too.
class RecordingSleeper : public ISleeper
{
public:
    RecordingSleeper() : m_into(&log) {}
    explicit RecordingSleeper(QStringList &into) : m_into(&into) {}
    RecordingSleeper(const RecordingSleeper &) = delete;
    RecordingSleeper &operator=(const RecordingSleeper &) = delete;

    void sleepMs(int ms) override { *m_into << QStringLiteral("sleep %1").arg(ms); }

    QStringList log;

private:
    QStringList *m_into;
};
