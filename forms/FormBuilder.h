#pragma once

#include "FormControls.h"
#include "SurfaceFigure.h"
#include "LayoutRows.h"
#include "SurfaceLabel.h"
#include "SurfaceLine.h"
#include "SurfaceShape.h"

#include <memory>
#include <span>

class QWidget;

// Turns layout tables into controls and windowless items.
namespace FormBuilder {

// The stored colours that "default" stands for.
inline constexpr std::uint32_t DefaultLineColour = 0x80000008u;  // window text
inline constexpr std::uint32_t DefaultLabelColour = 0x80000012u; // button text
inline constexpr std::uint32_t LabelBackColour = 0x8000000Fu;    // button face

// Creates every control under `window` (or under the row's container, which
// must be an earlier row), named after its row, then chains the focusable
// ones in tab-index order. Fills the handles bound to the rows' names; what
// it returns finds the containers of later tables.
FormControls addControls(QWidget &window, std::span<const ControlRow> controls,
                         FormHandles *handles = nullptr);

std::unique_ptr<SurfaceLabel> makeLabel(const LabelRow &row, const QFont &fallback);
// A label row as a figure that changes often (see SurfaceFigure); its
// alignment and transparency are not used.
std::unique_ptr<SurfaceFigure> makeFigure(const LabelRow &row, const QFont &fallback);
std::unique_ptr<SurfaceLine> makeLine(const LineRow &row);
std::unique_ptr<SurfaceShape> makeShape(const ShapeRow &row);

// Puts each label (or figure) on the surface of its container (window or
// frame), filling the handles bound to the rows' names; a container that
// carries no surface ends the program like an unknown name.
void addLabels(const FormControls &controls, std::span<const LabelRow> labels, FormHandles *handles = nullptr);
void addFigures(const FormControls &controls, std::span<const LabelRow> figures, FormHandles &handles);

} // namespace FormBuilder
