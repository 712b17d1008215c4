#include "FormBuilder.h"

#include "ComboArrowStyle.h"
#include "FrameControl.h"
#include "OleColor.h"
#include "PictureBox.h"
#include "Surface.h"
#include "Twips.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>
#include <vector>

namespace {

QWidget *createComboBox(const ControlRow &row)
{
    auto *combo = new QComboBox;
    combo->setEditable(true);
    // The box's text is taken exactly as typed: no completion that would
    // turn "&H3" into a listed address, and Enter adds nothing to the list.
    combo->setCompleter(nullptr);
    combo->setInsertPolicy(QComboBox::NoInsert);
    for (const char *entry : row.list)
        combo->addItem(QString::fromLatin1(entry));
    auto *style = new ComboArrowStyle;
    style->setParent(combo);
    combo->setStyle(style);
    // The list stands on the entry the text names, so that opening it
    // highlights that entry and Down moves on to the next one. Only an exact
    // match moves it: the text as typed must stay exactly as typed.
    QObject::connect(combo, &QComboBox::editTextChanged, combo, [combo](const QString &text) {
        const int match = combo->findText(text, Qt::MatchFixedString | Qt::MatchCaseSensitive);
        if (match < 0 || match == combo->currentIndex())
            return;
        const int cursor = combo->lineEdit()->cursorPosition();
        combo->setCurrentIndex(match);
        combo->lineEdit()->setCursorPosition(cursor);
    });
    combo->setEditText(QString::fromLatin1(row.text));
    // A narrow box shows the start of the address rather than its end.
    combo->lineEdit()->setCursorPosition(0);
    return combo;
}

QWidget *createTextBox(const ControlRow &row)
{
    auto *box = new QLineEdit(QString::fromLatin1(row.text));
    if (row.backColour != DefaultColour) {
        QPalette colours = box->palette();
        colours.setColor(QPalette::Base, OleColor::toColor(row.backColour));
        box->setPalette(colours);
    }
    return box;
}

QWidget *createObjectBox()
{
    auto *frame = new QFrame;
    frame->setFrameStyle(QFrame::Box | QFrame::Plain);
    frame->setLineWidth(1);
    return frame;
}

QWidget *createControl(const ControlRow &row)
{
    const QString text = QString::fromLatin1(row.text ? row.text : "");
    switch (row.kind) {
    case ControlKind::Button:
        return new QPushButton(text);
    case ControlKind::OptionButton: {
        auto *option = new QRadioButton(text);
        option->setChecked(row.selected);
        return option;
    }
    case ControlKind::ComboBox:
        return createComboBox(row);
    case ControlKind::TextBox:
        return createTextBox(row);
    case ControlKind::Frame:
        return new FrameControl(text);
    case ControlKind::PictureBox:
        return new PictureBox;
    case ControlKind::ObjectBox:
        return createObjectBox();
    }
    return nullptr;
}

template <class Make>
void placeOnSurfaces(const FormControls &controls, std::span<const LabelRow> rows, FormHandles *handles,
                     Make make)
{
    for (const LabelRow &row : rows) {
        QWidget *holder = controls.widget(row.container);
        auto *host = dynamic_cast<SurfaceHost *>(holder);
        if (!host)
            controls.fail(row.container, "carries no surface for windowless items");
        SurfaceItem &item = host->surface().add(make(row, holder->font()));
        if (handles)
            handles->made(controls, row.name, nullptr, &item, holder);
    }
}

void chainTabOrder(const std::vector<std::pair<int, QWidget *>> &focusable)
{
    for (std::size_t i = 1; i < focusable.size(); ++i)
        QWidget::setTabOrder(focusable[i - 1].second, focusable[i].second);
}

} // namespace

namespace FormBuilder {

FormControls addControls(QWidget &window, std::span<const ControlRow> controls, FormHandles *handles)
{
    FormControls made(window);
    std::vector<std::pair<int, QWidget *>> focusable;
    for (const ControlRow &row : controls) {
        QWidget *holder = made.widget(row.container);
        QWidget *control = createControl(row);
        control->setObjectName(QString::fromLatin1(row.name));
        control->setParent(holder);
        made.add(row.name, control);
        if (handles)
            handles->made(made, row.name, control, nullptr, holder);
        control->setGeometry(Twips::rect(row.left, row.top, row.width, row.height));
        if (row.font)
            control->setFont(Fonts::fromFace(*row.font));
        if (control->focusPolicy() & Qt::TabFocus)
            focusable.emplace_back(row.tabIndex, control);
    }
    std::stable_sort(focusable.begin(), focusable.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    chainTabOrder(focusable);
    return made;
}

std::unique_ptr<SurfaceLabel> makeLabel(const LabelRow &row, const QFont &fallback)
{
    const std::uint32_t fore = row.foreColour == DefaultColour ? DefaultLabelColour : row.foreColour;
    return std::make_unique<SurfaceLabel>(QString::fromLatin1(row.name), row.left, row.top,
                                          row.width, row.height, QString::fromLatin1(row.text),
                                          Fonts::pick(row.font, fallback), fore, LabelBackColour,
                                          row.opaque, row.alignment);
}

std::unique_ptr<SurfaceFigure> makeFigure(const LabelRow &row, const QFont &fallback)
{
    const std::uint32_t fore = row.foreColour == DefaultColour ? DefaultLabelColour : row.foreColour;
    return std::make_unique<SurfaceFigure>(QString::fromLatin1(row.name), row.left, row.top, row.width,
                                           row.height, QString::fromLatin1(row.text),
                                           Fonts::pick(row.font, fallback), fore, LabelBackColour);
}

std::unique_ptr<SurfaceLine> makeLine(const LineRow &row)
{
    const std::uint32_t colour = row.colour == DefaultColour ? DefaultLineColour : row.colour;
    return std::make_unique<SurfaceLine>(QString::fromLatin1(row.name), row.x1, row.y1, row.x2,
                                         row.y2, colour);
}

std::unique_ptr<SurfaceShape> makeShape(const ShapeRow &row)
{
    std::optional<std::uint32_t> fill;
    if (row.fillColour != DefaultColour)
        fill = row.fillColour;
    return std::make_unique<SurfaceShape>(QString::fromLatin1(row.name), row.kind, row.left,
                                          row.top, row.width, row.height, DefaultLineColour, fill);
}

void addLabels(const FormControls &controls, std::span<const LabelRow> labels, FormHandles *handles)
{
    placeOnSurfaces(controls, labels, handles, makeLabel);
}

void addFigures(const FormControls &controls, std::span<const LabelRow> figures, FormHandles &handles)
{
    placeOnSurfaces(controls, figures, &handles, makeFigure);
}

} // namespace FormBuilder
