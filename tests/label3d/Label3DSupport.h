#pragma once

#include "Label3D.h"

#include <QList>
#include <QMetaType>
#include <QPair>
#include <QRect>
#include <QString>
#include <functional>

Q_DECLARE_METATYPE(PropertyValue)

// Every reader's value plus where the captions lie: what a refused write or
// a stopped read must leave as it was.
struct Snapshot
{
    qint16 enabled;
    StdFont *font;
    quint32 fore1, fore2, back;
    QString caption1, caption2;
    qint32 alignment, phase, border;
    QRect label1, label2;

    explicit Snapshot(const Label3D &c)
        : enabled(c.Enabled()), font(c.Font().get()), fore1(c.ForeColor1()), fore2(c.ForeColor2()),
          back(c.BackColor()), caption1(c.Label1()->Caption()), caption2(c.Label2()->Caption()),
          alignment(c.Alignment()), phase(c.Phase()), border(c.BorderStyle()),
          label1(c.Label1()->geometry()), label2(c.Label2()->geometry())
    {
    }
    bool operator==(const Snapshot &) const = default;
};

FontRef arial1575();

using Writer = std::function<void(Label3D &)>;

// Each writer given the value it already holds, by its property's name.
const QList<QPair<QString, Writer>> &rewriters();

// The pixels of `label` unlike its bottom-right one once `text` is the
// control's caption: the ink the caption put there, whatever the style's
// colours.
int captionInk(Label3D &control, CaptionLabel *label, const QString &text);

// A store whose good values show which of a read's steps ran before the
// one that fails on `badValue`, stored last under `badKey`.
PropertyBag storeFailingAt(const QString &badKey, const PropertyValue &badValue);

// The rows of TestLabel3D's data-driven tests, each function named as the
// test it feeds.
namespace Label3DRows {
void saveAndReloadRestoresEveryProperty();
void refusedWriteChangesNothing();
void captionTagsAreShownNotObeyed();
void unchangedValueStillNotifies();
void readStopsAtFailingStep();
void mouseParametersArriveUnchangedAndByReference();
} // namespace Label3DRows
