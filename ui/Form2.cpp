#include "Form2.h"

#include "Form2Layout.h"
#include "FormBuilder.h"

#include <QPushButton>
#include <cstring>
#include <memory>

namespace {

template <class Row>
const Row *findRow(std::span<const Row> rows, const char *name)
{
    for (const Row &row : rows) {
        if (std::strcmp(row.name, name) == 0)
            return &row;
    }
    return nullptr;
}

} // namespace

Form2::Form2(QWidget *parent)
    : FormWindow(QString::fromLatin1(Form2Layout::Caption), Form2Layout::ClientWidth,
                 Form2Layout::ClientHeight, parent)
{
    setAttribute(Qt::WA_DeleteOnClose);
    addDrawing();
    QPushButton *close = nullptr;
    FormHandles handles;
    handles.bind("Command1", close);
    m_controls = FormBuilder::addControls(*this, Form2Layout::Controls, &handles);
    handles.checkAllMade(m_controls);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
}

// Items go onto the surface in stacking order, topmost first.
void Form2::addDrawing()
{
    using namespace Form2Layout;
    for (const char *name : Stacking) {
        if (const LabelRow *label = findRow<LabelRow>(Labels, name))
            surface().add(FormBuilder::makeLabel(*label, font()));
        else if (const LineRow *line = findRow<LineRow>(Lines, name))
            surface().add(FormBuilder::makeLine(*line));
        else if (const ShapeRow *shape = findRow<ShapeRow>(Shapes, name))
            surface().add(FormBuilder::makeShape(*shape));
        else
            FormControls(*this).fail(name, "is stacked but drawn by no row");
    }
}
