#pragma once

#include "Label3D.h"
#include "Label3DHost.h"
#include "PropertyBag.h"

#include <QObject>
#include <QPointer>

// The place a window gives one Label3D: it creates the control inside a
// container widget, lends it the container's font as the ambient font,
// answers every size change by running the control's Resize at once, and
// relays change notifications as a signal.
//
// A stored control is described by a property set as the window designer
// saved it: the control's own properties plus "_extentx" and "_extenty", its
// size in hundredths of a millimetre.
class Label3DSite : public QObject, public Label3DHost
{
    Q_OBJECT

public:
    static constexpr const char *ExtentXKey = "_extentx";
    static constexpr const char *ExtentYKey = "_extenty";

    // The site is a child of the container, which owns both it and the
    // control.
    explicit Label3DSite(QWidget *container);

    Label3D *control() const { return m_control; }

    // A control with nothing stored, as dropped on a window.
    Label3D *createNew(float left, float top, float width, float height);
    // A control read from its stored set. On a failing read nothing is left
    // behind: the result is null and error says which value was refused.
    Label3D *createStored(float left, float top, const PropertyBag &stored, QString *error);
    // The control's stored set, extent first, as createStored reads it back.
    PropertyBag save() const;

    FontRef AmbientFont() override;
    void PropertyChanged(const QString &PropertyName) override;

    // The stored extent is in hundredths of a millimetre; whole twips keep
    // 5953 x 661 and 3375 x 375 each other's images.
    static constexpr float twipsFromHimetric(qint32 himetric)
    {
        return float(qRound(himetric * 1440.0 / 2540.0));
    }
    static constexpr qint32 himetricFromTwips(float twips)
    {
        return qint32(qRound(twips * 2540.0 / 1440.0));
    }

signals:
    void propertyChanged(const QString &PropertyName);

private:
    Label3D *place(float left, float top);

    QWidget *m_container;
    FontRef m_ambientFont;
    QPointer<Label3D> m_control;
};
