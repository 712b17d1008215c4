#pragma once

#include "LayoutRows.h"
#include "OleColor.h"

// The help window's layout in twips: texts, the wiring drawing and its
// stacking order, one row per item.
namespace Form2Layout {

inline constexpr const char *Caption = "Help";
inline constexpr int ClientWidth = 6030;
inline constexpr int ClientHeight = 4935;

// Opaque, word-wrapped, in the window's dialog font. The texts keep their
// original spacing and punctuation; Label3 ends with the contact address.
inline constexpr LabelRow Labels[] = {
    {"Label12", nullptr, 120, 2040, 5535, 375, 12, "I colori dei conduttori  di collegamento tra Amplificatore e Motore utilizzati nel seguente schema, sono reali del motore da me utilizzato."},
    {"Label3", nullptr, 120, 1440, 5655, 735, 3, "Collegare le uscite della porta parallela ad un circuito  di potenza .Se non avete il circuito,inviatemi un E_mail all'indirizzo : "
     "quarnet@example.org"},
    {"Label1", nullptr, 120, 1020, 5415, 735, 0, "N.B. La velocita' di rotazione del motore dipende dal Processore utilizzato,dalla risposta in frequenza del circuito e dalla corrente ."},
    {"Label2", nullptr, 120, 600, 5895, 735, 1, "I pin della porta parallela sono: bit0 - Pin 2    bit1 - Pin 3    bit2 - Pin 4    bit3 - Pin       GND - Pin 25 "},
    {"Label4", nullptr, 120, 3480, 375, 495, 4, "LPT"},
    {"Label6", nullptr, 600, 2880, 495, 255, 6, "bit0"},
    {"Label7", nullptr, 600, 3240, 495, 255, 7, "bit1"},
    {"Label9", nullptr, 600, 3600, 495, 255, 8, "bit2"},
    {"Label8", nullptr, 600, 3960, 495, 255, 13, "bit3"},
    {"Label13", nullptr, 600, 4320, 375, 255, 14, "gnd"},
    {"Label11", nullptr, 840, 4680, 1095, 255, 10, "+ 6 to 40 v"},
    {"Label5", nullptr, 1680, 2520, 975, 255, 5, "AMP", nullptr, DefaultColour, Qt::AlignHCenter},
    {"Label10", nullptr, 5160, 3480, 615, 375, 9, "Motore"},
    {"htt", nullptr, 60, 60, 4875, 375, 15, "Schema di collegamento"},
};

// Colours are those of the real motor's wires; "default" lines take the
// window text colour.
inline constexpr LineRow Lines[] = {
    {"Line1", 600, 3120, 1560, 3120},
    {"Line2", 600, 3480, 1560, 3480},
    {"Line3", 600, 3840, 1560, 3840},
    {"Line4", 600, 4200, 1560, 4200},
    {"Line19", 600, 4440, 1800, 4440},
    {"Line43", 1800, 4320, 1800, 4440},
    {"Line26", 2040, 4320, 2040, 4800},
    {"Line5", 2760, 3120, 3960, 3120},
    {"Line8", 2760, 3480, 3960, 3480, 0x80C0FF},
    {"Line7", 2760, 3840, 3960, 3840, 0x0000FF},
    {"Line9", 2760, 4200, 3960, 4200, 0x00FFFF},
    {"Line10", 3960, 3120, 4440, 3480},
    {"Line11", 3960, 3480, 4200, 3600, 0x80C0FF},
    {"Line12", 3960, 3840, 4200, 3720, 0x0000FF},
    {"Line13", 3960, 4200, 4320, 3840, 0x00FFFF},
    {"Line6", 4440, 3360, 4440, 2640, OleColor::system(5)},
    {"Line17", 4560, 3360, 4560, 2640, 0x004080},
    {"Line15", 4800, 3360, 4800, 2880, OleColor::system(3)},
    {"Line16", 4920, 3600, 4920, 2880, OleColor::system(2)},
    {"Line18", 4440, 2640, 4800, 2640},
    {"Line28", 4920, 2520, 4800, 2640},
    {"Line27", 4920, 2520, 5040, 2640},
    {"Line29", 5040, 2640, 5160, 2520},
    {"Line30", 5280, 2640, 5160, 2520},
    {"Line31", 5400, 2520, 5280, 2640},
    {"Line32", 5520, 2640, 5400, 2520},
    {"Line34", 5520, 2640, 5880, 2640},
    {"Line14", 4800, 2880, 5040, 2880},
    {"Line35", 4800, 2880, 5040, 2880},
    {"Line37", 5160, 2760, 5040, 2880},
    {"Line36", 5160, 2760, 5280, 2880},
    {"Line38", 5280, 2880, 5400, 2760},
    {"Line39", 5520, 2880, 5400, 2760},
    {"Line40", 5640, 2760, 5520, 2880},
    {"Line41", 5760, 2880, 5640, 2760},
    {"Line42", 5760, 2880, 5880, 2880},
    {"Line33", 5880, 3240, 5880, 2640},
    {"Line20", 5520, 3240, 6000, 3240},
    {"Line22", 5520, 3240, 5400, 3360},
    {"Line21", 5520, 3360, 5640, 3240},
    {"Line23", 5760, 3240, 5640, 3360},
    {"Line24", 5880, 3240, 5760, 3360},
    {"Line25", 6000, 3240, 5880, 3360},
};

inline constexpr ShapeRow Shapes[] = {
    {"Shape1", ShapeKind::Rectangle, 1560, 2880, 1215, 1455},
    {"Shape2", ShapeKind::Rectangle, 1560, 2880, 1215, 375},
    {"Shape4", ShapeKind::Rectangle, 1560, 3240, 1215, 375},
    {"Shape3", ShapeKind::Rectangle, 1560, 3960, 1215, 375},
    {"Shape5", ShapeKind::Circle, 4080, 3240, 975, 855, 0x400000},
};

// First on top: the filled motor hides the wire ends that reach into it, the
// "gnd" label hides the start of the ground line, and the port's wires cross
// the "bit" labels.
inline constexpr const char *Stacking[] = {
    "htt", "Label13", "Line43", "Line19", "Line42", "Line41", "Line40", "Line39", "Line38",
    "Line37", "Line36", "Line35", "Line34", "Line33", "Line32", "Line31", "Line30", "Line29",
    "Line28", "Line27", "Line14", "Label12", "Line26", "Line25", "Line24", "Line23", "Line22",
    "Line21", "Line20", "Line18", "Shape5", "Line17", "Line16", "Line15", "Label10", "Line13",
    "Line12", "Line11", "Line10", "Line9", "Line8", "Line7", "Line6", "Line5", "Label5",
    "Label4", "Line4", "Line3", "Line2", "Line1", "Shape4", "Shape3", "Shape2", "Shape1",
    "Label3", "Label1", "Label7", "Label6", "Label9", "Label11", "Label2", "Label8",
};

// Real controls, above the whole drawing: the empty terminal bar at the foot
// of the supply line, and the button.
inline constexpr ControlRow Controls[] = {
    {"OLE1", ControlKind::ObjectBox, nullptr, 1680, 4800, 375, 30, 11, nullptr},
    {"Command1", ControlKind::Button, nullptr, 4440, 4560, 1335, 375, 2, "Chiudi  Finestra"},
};

} // namespace Form2Layout
