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
