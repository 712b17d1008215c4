#pragma once

#include "CaptionLabel.h"
#include "Label3DHost.h"
#include "PropertyBag.h"
#include "UserControl.h"

// A caption drawn twice, one 15-twip step apart, in two colours, so that the
// text looks raised or engraved. The control itself is the surface
// (`UserControl`, painting BackColor); `Label1` is the back caption
// (ForeColor1) and `Label2` the front one (ForeColor2), stacked above it and
// the only part whose mouse events become the control's events.
//
// Every property lives in the part it belongs to; the phase is the one value
// the control keeps itself. Writers apply the value, then tell the host.
//
// Errors: a writer or hook that meets a value it cannot use throws
// Label3DError and stops where it is, without notifying:
//  - SetFont with no font object stops before Label1 is touched;
//  - SetAlignment stops at its 16-bit narrowing (nothing changed) or when
//    Label1 rejects the value (nothing changed);
//  - SetBorderStyle stops at its narrowing or at Label2's check (nothing
//    changed);
//  - SetPhase stops at its narrowing to a byte: field and layout untouched;
//  - ReadProperties stops at the failing step of its 14 (see
//    Label3DPersistence.cpp): earlier steps stay applied, the final layout
//    does not run.
class Label3D : public UserControl
{
    Q_OBJECT

public:
    static constexpr float Step = 15;           // twips between the two captions
    static constexpr float MinimumSize = 100;   // twips, each way
    static constexpr float DesignWidth = 4800;  // the surface before a host sizes it
    static constexpr float DesignHeight = 3600;

    explicit Label3D(Label3DHost &host, QWidget *parent = nullptr);

    qint16 Enabled() const;
    void SetEnabled(qint16 New_Enabled);
    FontRef Font() const;
    void SetFont(const FontRef &New_Font);
    // Refresh is the surface's own.
    quint32 ForeColor1() const;
    void SetForeColor1(quint32 New_ForeColor1);
    quint32 ForeColor2() const;
    void SetForeColor2(quint32 New_ForeColor2);
    QString Caption() const;
    void SetCaption(const QString &New_Caption);
    qint32 Alignment() const;
    void SetAlignment(qint32 New_Alignment);
    qint32 Phase() const;
    void SetPhase(qint32 New_Phase);
    quint32 BackColor() const;
    void SetBackColor(quint32 New_BackColor);
    qint32 BorderStyle() const;
    void SetBorderStyle(qint32 New_BorderStyle);

    // Lifecycle hooks, called by the host.
    void Initialize();
    void InitProperties();
    void ReadProperties(const PropertyBag &PropBag);
    void WriteProperties(PropertyBag &PropBag) const;
    void Resize();

    CaptionLabel *Label1() const { return m_label1; }
    CaptionLabel *Label2() const { return m_label2; }

signals:
    void Click();
    void DblClick();
    void MouseDown(qint16 &Button, qint16 &Shift, float &x, float &y);
    void MouseMove(qint16 &Button, qint16 &Shift, float &x, float &y);
    void MouseUp(qint16 &Button, qint16 &Shift, float &x, float &y);

private:
    void applyDesignData(CaptionLabel *label, float left, float top, float width, float height,
                         quint32 foreColor);
    void forwardEvents();
    void layOut();
    void notify(const char *key);
    static FontRef ownFont(const FontRef &ambient);

    Label3DHost &m_host;
    CaptionLabel *m_label1;
    CaptionLabel *m_label2;
    quint8 m_phase = 0;
};
