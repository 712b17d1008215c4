#include "Label3D.h"

namespace {

constexpr quint32 HighlightText = 0x8000000Eu;
constexpr quint32 ButtonText = 0x80000012u;
// A new instance shows the same button face that an instance read without a
// stored background gets, so saving an untouched control stores no colour.
constexpr quint32 ButtonFace = 0x8000000Fu;

struct Placement
{
    float label1Left, label1Top, label2Left, label2Top;
};

// Indexed by phase. The back caption (Label1) lies one step right/left and
// down/up of the front caption (Label2).
constexpr Placement Placements[] = {
    {Label3D::Step, Label3D::Step, 0, 0}, // 0: back right and down
    {0, Label3D::Step, Label3D::Step, 0}, // 1: back left and down
    {Label3D::Step, 0, 0, Label3D::Step}, // 2: back right and up
    {0, 0, Label3D::Step, Label3D::Step}, // 3: back left and up
};
constexpr int PlacedPhases = int(std::size(Placements));

FontRef designFont()
{
    FontDescription d;
    d.Name = QStringLiteral("Tahoma");
    d.Size = 9.75f;
    d.Weight = 700;
    return StdFont::create(d);
}

qint16 narrowTo16(qint32 value)
{
    return PropertyValue::int32(value).toInt16();
}

} // namespace

Label3D::Label3D(Label3DHost &host, QWidget *parent)
    : UserControl(parent),
      m_host(host),
      m_label1(new CaptionLabel(this)),
      m_label2(new CaptionLabel(this)) // created second, so stacked above Label1
{
    SetExtent(DesignWidth, DesignHeight);
    UserControl::SetBackColor(ButtonFace);
    applyDesignData(m_label2, 840, 720, 2655, 855, ButtonText);
    applyDesignData(m_label1, 0, 0, 2295, 375, HighlightText);
    forwardEvents();
}

void Label3D::applyDesignData(CaptionLabel *label, float left, float top, float width, float height,
                              quint32 foreColor)
{
    label->SetCaption(QStringLiteral("Label3D"));
    label->SetForeColor(foreColor);
    label->SetFont(designFont());
    label->SetLeft(left);
    label->SetTop(top);
    label->SetWidth(width);
    label->SetHeight(height);
}

void Label3D::forwardEvents()
{
    // Direct connections only: the parameters are Label2's own variables,
    // and a queued call could neither copy nor write back through them.
    connect(m_label2, &CaptionLabel::Click, this, &Label3D::Click, Qt::DirectConnection);
    connect(m_label2, &CaptionLabel::DblClick, this, &Label3D::DblClick, Qt::DirectConnection);
    connect(m_label2, &CaptionLabel::MouseDown, this, &Label3D::MouseDown, Qt::DirectConnection);
    connect(m_label2, &CaptionLabel::MouseMove, this, &Label3D::MouseMove, Qt::DirectConnection);
    connect(m_label2, &CaptionLabel::MouseUp, this, &Label3D::MouseUp, Qt::DirectConnection);
}

void Label3D::notify(const char *key)
{
    m_host.PropertyChanged(QString::fromLatin1(key));
}

qint16 Label3D::Enabled() const
{
    // Asked relative to the control, so a host disabling the whole control
    // does not make the property read false.
    return m_label1->isEnabledTo(this) ? -1 : 0;
}

void Label3D::SetEnabled(qint16 New_Enabled)
{
    m_label1->setEnabled(New_Enabled != 0);
    m_label2->setEnabled(New_Enabled != 0);
    notify("Enabled");
}

FontRef Label3D::Font() const
{
    return m_label1->Font();
}

void Label3D::SetFont(const FontRef &New_Font)
{
    m_label1->SetFont(New_Font);
    m_label2->SetFont(New_Font);
    notify("Font");
}

quint32 Label3D::ForeColor1() const
{
    return m_label1->ForeColor();
}

void Label3D::SetForeColor1(quint32 New_ForeColor1)
{
    m_label1->SetForeColor(New_ForeColor1);
    notify("ForeColor1");
}

quint32 Label3D::ForeColor2() const
{
    return m_label2->ForeColor();
}

void Label3D::SetForeColor2(quint32 New_ForeColor2)
{
    m_label2->SetForeColor(New_ForeColor2);
    notify("ForeColor2");
}

QString Label3D::Caption() const
{
    return m_label1->Caption();
}

void Label3D::SetCaption(const QString &New_Caption)
{
    const QString caption = New_Caption;
    m_label1->SetCaption(caption);
    m_label2->SetCaption(caption);
    notify("Caption");
}

qint32 Label3D::Alignment() const
{
    return m_label1->Alignment();
}

void Label3D::SetAlignment(qint32 New_Alignment)
{
    m_label1->SetAlignment(narrowTo16(New_Alignment));
    m_label2->SetAlignment(narrowTo16(New_Alignment));
    notify("Alignment");
}

qint32 Label3D::Phase() const
{
    return m_phase;
}

void Label3D::SetPhase(qint32 New_Phase)
{
    m_phase = PropertyValue::int32(New_Phase).toByte();
    layOut();
    notify("Phase");
}

quint32 Label3D::BackColor() const
{
    return UserControl::BackColor();
}

void Label3D::SetBackColor(quint32 New_BackColor)
{
    UserControl::SetBackColor(New_BackColor);
    notify("BackColor");
}

qint32 Label3D::BorderStyle() const
{
    return m_label2->BorderStyle();
}

void Label3D::SetBorderStyle(qint32 New_BorderStyle)
{
    m_label2->SetBorderStyle(narrowTo16(New_BorderStyle));
    notify("BorderStyle");
}

void Label3D::Initialize()
{
    layOut();
}

void Label3D::Resize()
{
    layOut();
}

void Label3D::layOut()
{
    // Either correction may make the host run Resize again at once; that
    // nested layout finishes first, and this one then carries on with the
    // corrected size, ending where a single layout would.
    if (Width() < MinimumSize)
        SetWidth(MinimumSize);
    if (Height() < MinimumSize)
        SetHeight(MinimumSize);
    m_label1->SetWidth(Width());
    m_label1->SetHeight(Height());
    m_label2->SetWidth(Width());
    m_label2->SetHeight(Height());
    // Phases 4 to 255 choose no direction: the captions stay where the last
    // phase from 0 to 3 put them.
    if (m_phase >= PlacedPhases)
        return;
    const Placement &p = Placements[m_phase];
    m_label1->SetLeft(p.label1Left);
    m_label1->SetTop(p.label1Top);
    m_label2->SetLeft(p.label2Left);
    m_label2->SetTop(p.label2Top);
}
