#include "Label3DSite.h"

#include "Label3DError.h"
#include "Twips.h"

Label3DSite::Label3DSite(QWidget *container)
    : QObject(container),
      m_container(container),
      m_ambientFont(StdFont::fromQFont(container->font()))
{
}

FontRef Label3DSite::AmbientFont()
{
    return m_ambientFont;
}

void Label3DSite::PropertyChanged(const QString &PropertyName)
{
    emit propertyChanged(PropertyName);
}

Label3D *Label3DSite::place(float left, float top)
{
    delete m_control;
    auto *control = new Label3D(*this, m_container);
    control->move(Twips::point(left, top));
    connect(control, &UserControl::SizeChanged, control, &Label3D::Resize, Qt::DirectConnection);
    control->Initialize();
    return control;
}

Label3D *Label3DSite::createNew(float left, float top, float width, float height)
{
    Label3D *control = place(left, top);
    control->InitProperties();
    control->SetExtent(width, height);
    control->show();
    m_control = control;
    return control;
}

Label3D *Label3DSite::createStored(float left, float top, const PropertyBag &stored, QString *error)
{
    Label3D *control = place(left, top);
    try {
        const PropertyValue designX = PropertyValue::int32(himetricFromTwips(Label3D::DesignWidth));
        const PropertyValue designY = PropertyValue::int32(himetricFromTwips(Label3D::DesignHeight));
        const qint32 x = stored.ReadProperty(ExtentXKey, designX).toInt32();
        const qint32 y = stored.ReadProperty(ExtentYKey, designY).toInt32();
        control->SetExtent(twipsFromHimetric(x), twipsFromHimetric(y));
        control->ReadProperties(stored);
    } catch (const Label3DError &e) {
        delete control;
        if (error)
            *error = e.message();
        return nullptr;
    }
    control->show();
    m_control = control;
    if (error)
        error->clear();
    return control;
}

PropertyBag Label3DSite::save() const
{
    PropertyBag bag;
    if (!m_control)
        return bag;
    bag.append(ExtentXKey, PropertyValue::int32(himetricFromTwips(m_control->Width())));
    bag.append(ExtentYKey, PropertyValue::int32(himetricFromTwips(m_control->Height())));
    m_control->WriteProperties(bag);
    return bag;
}
