#pragma once

#include <string_view>

// The help text a designer shows for each public member of Label3D, in the
// order the control declares them. Members without help text (Phase) have an
// empty description.
namespace Label3DMembers {

struct Member
{
    std::string_view name;
    std::string_view description;
};

inline constexpr std::string_view ForeColorText =
    "Returns/sets the foreground color used to display text and graphics in an object.";

inline constexpr Member Properties[] = {
    {"Enabled", "Returns/sets a value that determines whether an object can respond to user-generated events."},
    {"Font", "Returns a Font object."},
    {"Refresh", "Forces a complete repaint of a object."},
    {"ForeColor1", ForeColorText},
    {"ForeColor2", ForeColorText},
    {"Caption", "Returns/sets the text displayed in an object's title bar or below an object's icon."},
    {"Alignment", "Returns/sets the alignment of a CheckBox or OptionButton, or a control's text."},
    {"Phase", ""},
    {"BackColor", "Returns/sets the background color used to display text and graphics in an object."},
    {"BorderStyle", "Restituisce o imposta lo stile del bordo di un oggetto."},
};

// The events' position here is their event number minus one.
inline constexpr Member Events[] = {
    {"Click", "Occurs when the user presses and then releases a mouse button over an object."},
    {"DblClick", "Occurs when the user presses and releases a mouse button and then presses and releases it again over an object."},
    {"MouseDown", "Occurs when the user presses the mouse button while an object has the focus."},
    {"MouseMove", "Occurs when the user moves the mouse."},
    {"MouseUp", "Occurs when the user releases the mouse button while an object has the focus."},
};

inline constexpr std::string_view description(std::string_view member)
{
    for (const Member &m : Properties) {
        if (m.name == member)
            return m.description;
    }
    for (const Member &m : Events) {
        if (m.name == member)
            return m.description;
    }
    return {};
}

} // namespace Label3DMembers
