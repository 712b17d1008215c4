#pragma once

#include <QWidget>
#include <string_view>
#include <utility>
#include <vector>

// The controls the builder made from one layout table, in the table's order,
// by the names their rows give them. Asking for a name no row gave, or for
// the wrong kind of control, ends the program at once with the window's and
// the control's name: a layout table is fixed at build time, so such a
// mistake shows the first time the window opens, in every test that opens it.
class FormControls
{
public:
    FormControls() = default;
    explicit FormControls(QWidget &window) : m_window(&window) {}

    void add(const char *name, QWidget *control) { m_controls.emplace_back(name, control); }

    // The window itself for a null name.
    QWidget *widget(const char *name) const;

    template <class T>
    T *get(const char *name) const
    {
        QWidget *control = widget(name);
        T *typed = qobject_cast<T *>(control);
        if (!typed)
            fail(name, "is not the kind of control asked for");
        return typed;
    }

    int count() const { return int(m_controls.size()); }

    [[noreturn]] void fail(const char *name, const char *problem) const;

private:
    QWidget *m_window = nullptr;
    std::vector<std::pair<std::string_view, QWidget *>> m_controls;
};
