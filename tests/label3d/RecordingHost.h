#pragma once

#include "Label3D.h"
#include "Label3DHost.h"

#include <QObject>
#include <QStringList>

// A host that records what the control tells it. With reenterOnResize it
// answers each size change by running the control's Resize at once, as a
// window does; without it the test calls Resize itself.
class RecordingHost : public Label3DHost
{
public:
    RecordingHost()
    {
        FontDescription d;
        d.Name = QStringLiteral("DejaVu Sans");
        d.Size = 8.25f;
        m_ambient = StdFont::create(d);
    }

    FontRef AmbientFont() override { return m_ambient; }
    void PropertyChanged(const QString &PropertyName) override { changes.append(PropertyName); }

    // A control sized, initialised and read from an empty store, shown so
    // that its parts take mouse events.
    std::unique_ptr<Label3D> makeControl(bool reenterOnResize, float width = 3375, float height = 375)
    {
        auto control = std::make_unique<Label3D>(*this);
        if (reenterOnResize)
            QObject::connect(control.get(), &UserControl::SizeChanged, control.get(), &Label3D::Resize);
        control->Initialize();
        control->SetExtent(width, height);
        control->ReadProperties(PropertyBag());
        control->show();
        changes.clear();
        return control;
    }

    QStringList changes;

private:
    FontRef m_ambient;
};
