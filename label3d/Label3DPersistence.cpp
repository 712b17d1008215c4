#include "Label3D.h"

// The order of the reads and writes below is part of the stored format's
// contract: a host may stop a read part-way (a failing step), and what is
// applied by then must be exactly the earlier steps. Reader and writer share
// every default, so a save followed by a load restores every property; the
// colour defaults (black back caption, white front caption) deliberately
// differ from a new instance's colours.
namespace {

constexpr quint32 StoredForeColor1Default = 0;
constexpr quint32 StoredForeColor2Default = 0xFFFFFFu;
constexpr quint32 StoredBackColorDefault = 0x8000000Fu;
const QString CaptionDefault = QStringLiteral("Label3D");

quint32 colourOf(const PropertyValue &value)
{
    return static_cast<quint32>(value.toInt32());
}

PropertyValue colour(quint32 value)
{
    return PropertyValue::int32(static_cast<qint32>(value));
}

} // namespace

// The labels never hold the host's own font object: changing the control's
// font would change the window's too, and the saved font would then always
// equal its default and never be stored. The control takes a copy, one
// object for both labels.
FontRef Label3D::ownFont(const FontRef &ambient)
{
    return StdFont::create(ambient->description());
}

void Label3D::InitProperties()
{
    m_phase = 0;
    const FontRef font = ownFont(m_host.AmbientFont());
    m_label1->SetFont(font);
    m_label2->SetFont(font);
}

void Label3D::ReadProperties(const PropertyBag &PropBag)
{
    const PropertyValue enabledDefault = PropertyValue::boolean(true);
    const PropertyValue captionDefault = PropertyValue::text(CaptionDefault);
    const PropertyValue zero16 = PropertyValue::int16(0);

    m_label1->setEnabled(PropBag.ReadProperty("Enabled", enabledDefault).toBoolean());           // 1
    m_label2->setEnabled(PropBag.ReadProperty("Enabled", enabledDefault).toBoolean());           // 2
    m_label1->SetForeColor(colourOf(PropBag.ReadProperty("ForeColor1", zero16)));                // 3
    m_label2->SetForeColor(
        colourOf(PropBag.ReadProperty("ForeColor2", colour(StoredForeColor2Default))));          // 4
    m_label1->SetCaption(PropBag.ReadProperty("Caption", captionDefault).toText());              // 5
    m_label2->SetCaption(PropBag.ReadProperty("Caption", captionDefault).toText());              // 6
    m_label1->SetAlignment(PropBag.ReadProperty("Alignment", zero16).toInt16());                 // 7
    m_label2->SetAlignment(PropBag.ReadProperty("Alignment", zero16).toInt16());                 // 8
    // The ambient font is asked for afresh at each step, as the host may
    // hand out a new object between them. When it comes back as the value,
    // nothing is stored and both steps got it: the labels share one copy.
    const FontRef ambient1 = m_host.AmbientFont();
    FontRef font1 = PropBag.ReadProperty("Font", PropertyValue::font(ambient1)).toFont();
    if (font1 == ambient1)
        font1 = ownFont(ambient1);
    m_label1->SetFont(font1);                                                                    // 9
    const FontRef ambient2 = m_host.AmbientFont();
    const FontRef font2 = PropBag.ReadProperty("Font", PropertyValue::font(ambient2)).toFont();
    m_label2->SetFont(font2 == ambient2 ? m_label1->Font() : font2);                             // 10
    m_label2->SetBorderStyle(PropBag.ReadProperty("BorderStyle", zero16).toInt16());             // 11
    m_phase = PropBag.ReadProperty("Phase", zero16).toByte();                                    // 12
    UserControl::SetBackColor(
        colourOf(PropBag.ReadProperty("BackColor", colour(StoredBackColorDefault))));            // 13
    layOut();                                                                                    // 14
}

void Label3D::WriteProperties(PropertyBag &PropBag) const
{
    PropBag.WriteProperty("Enabled", PropertyValue::boolean(Enabled() != 0),
                          PropertyValue::boolean(true));
    PropBag.WriteProperty("Font", PropertyValue::font(Font()),
                          PropertyValue::font(m_host.AmbientFont()));
    PropBag.WriteProperty("ForeColor1", colour(ForeColor1()), colour(StoredForeColor1Default));
    PropBag.WriteProperty("ForeColor2", colour(ForeColor2()), colour(StoredForeColor2Default));
    PropBag.WriteProperty("Caption", PropertyValue::text(Caption()), PropertyValue::text(CaptionDefault));
    PropBag.WriteProperty("Alignment", PropertyValue::int16(m_label1->Alignment()),
                          PropertyValue::int16(0));
    PropBag.WriteProperty("Phase", PropertyValue::byte(m_phase), PropertyValue::byte(0));
    PropBag.WriteProperty("BackColor", colour(BackColor()), colour(StoredBackColorDefault));
    PropBag.WriteProperty("BorderStyle", PropertyValue::int16(m_label2->BorderStyle()),
                          PropertyValue::int16(0));
}
