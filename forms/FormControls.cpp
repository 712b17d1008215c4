#include "FormControls.h"

#include <QtGlobal>
#include <cstdlib>

QWidget *FormControls::widget(const char *name) const
{
    if (!name)
        return m_window;
    for (const auto &[controlName, control] : m_controls) {
        if (controlName == name)
            return control;
    }
    fail(name, "names no control made before it");
}

void FormControls::fail(const char *name, const char *problem) const
{
    qFatal("layout of window \"%s\": \"%s\" %s", m_window ? m_window->metaObject()->className() : "",
           name ? name : "the window", problem);
    std::abort(); // qFatal does not return; this tells the compiler so
}

void FormHandles::made(const FormControls &controls, const char *name, QWidget *control, SurfaceItem *item,
                       QWidget *holder)
{
    for (Slot &slot : m_slots) {
        if (slot.name != name)
            continue;
        if (!slot.fill(control, item, holder))
            controls.fail(name, "is not the kind of control asked for");
        slot.filled = true;
    }
}

void FormHandles::checkAllMade(const FormControls &controls) const
{
    for (const Slot &slot : m_slots) {
        if (!slot.filled)
            controls.fail(slot.name.data(), "is asked for but made by no row");
    }
}
