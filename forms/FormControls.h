#pragma once

#include <QWidget>
#include <functional>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

class SurfaceItem;

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

// The typed pointers a window keeps to what the builder makes from its
// layout tables. Each is bound, before building, to the name of the row
// that makes it, and filled by the builder as it makes that row: the window
// never looks a control up by name afterwards. A bound name that no row
// makes, or a row that makes another kind of thing, ends the program as any
// other layout mistake does (see FormControls).
class FormHandles
{
public:
    // T is a control class, or a windowless item's; for an item, `host`
    // (when given) receives the control whose surface carries it.
    template <class T, class Host = QWidget>
    FormHandles &bind(const char *name, T *&slot, Host **host = nullptr)
    {
        m_slots.push_back({name, [&slot, host](QWidget *control, SurfaceItem *item, QWidget *holder) {
                               if constexpr (std::is_base_of_v<QObject, T>)
                                   slot = qobject_cast<T *>(control);
                               else
                                   slot = dynamic_cast<T *>(item);
                               if (!host)
                                   return slot != nullptr;
                               *host = qobject_cast<Host *>(holder);
                               return slot && *host;
                           }});
        return *this;
    }

    // The builder's side: the row `name` made `control`, or `item` on the
    // surface of `holder`.
    void made(const FormControls &controls, const char *name, QWidget *control, SurfaceItem *item,
              QWidget *holder);
    // Once every table is built: a name bound but made by no row ends the program.
    void checkAllMade(const FormControls &controls) const;

private:
    struct Slot
    {
        std::string_view name;
        std::function<bool(QWidget *, SurfaceItem *, QWidget *)> fill;
        bool filled = false;
    };
    std::vector<Slot> m_slots;
};
