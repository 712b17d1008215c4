#pragma once

#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>
#include <utility>

// What a layout must hold whatever its figures: every box inside its
// container, and no two boxes of one container covering each other unless
// the design means them to.
struct LaidOut
{
    QString name;
    QRect box;
};

inline QStringList layoutFaults(const QRect &container, const QList<LaidOut> &boxes,
                                const QList<std::pair<QString, QString>> &meantToOverlap = {})
{
    QStringList faults;
    for (qsizetype i = 0; i < boxes.size(); ++i) {
        if (!container.contains(boxes[i].box))
            faults << boxes[i].name + " lies outside its container";
        for (qsizetype j = i + 1; j < boxes.size(); ++j) {
            const std::pair<QString, QString> pair{boxes[i].name, boxes[j].name};
            const std::pair<QString, QString> swapped{boxes[j].name, boxes[i].name};
            if (boxes[i].box.intersects(boxes[j].box) && !meantToOverlap.contains(pair)
                && !meantToOverlap.contains(swapped))
                faults << boxes[i].name + " overlaps " + boxes[j].name;
        }
    }
    return faults;
}
