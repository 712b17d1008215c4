#include "FormBuilder.h"

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

QWidget *createComboBox(const ControlSpec &spec)
{
    auto *combo = new QComboBox;
    combo->setEditable(true);
    // The box's text is taken exactly as typed: no completion that would
    // turn "&H3" into a listed address, and Enter adds nothing to the list.
    combo->setCompleter(nullptr);
    combo->setInsertPolicy(QComboBox::NoInsert);
    for (const char *entry : spec.list)
        combo->addItem(QString::fromLatin1(entry));
    combo->setEditText(QString::fromLatin1(spec.text));
    // A narrow box shows the start of the address rather than its end.
    combo->lineEdit()->setCursorPosition(0);
    return combo;
}

QWidget *createTextBox(const ControlSpec &spec)
{
    auto *box = new QLineEdit(QString::fromLatin1(spec.text));
    if (spec.backColour != DefaultColour) {
        QPalette colours = box->palette();
        colours.setColor(QPalette::Base, OleColor::toColor(spec.backColour));
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

QWidget *createControl(const ControlSpec &spec)
{
    const QString text = QString::fromLatin1(spec.text ? spec.text : "");
    switch (spec.kind) {
    case ControlKind::Button:
        return new QPushButton(text);
    case ControlKind::OptionButton: {
        auto *option = new QRadioButton(text);
        option->setChecked(spec.selected);
        return option;
    }
    case ControlKind::ComboBox:
        return createComboBox(spec);
    case ControlKind::TextBox:
        return createTextBox(spec);
    case ControlKind::Frame:
        return new FrameControl(text);
    case ControlKind::PictureBox:
        return new PictureBox;
    case ControlKind::ObjectBox:
        return createObjectBox();
    }
    return nullptr;
}

void chainTabOrder(const std::vector<std::pair<int, QWidget *>> &focusable)
{
    for (std::size_t i = 1; i < focusable.size(); ++i)
        QWidget::setTabOrder(focusable[i - 1].second, focusable[i].second);
}

} // namespace

namespace FormBuilder {

QWidget *container(QWidget &window, const char *name)
{
    if (!name)
        return &window;
    return window.findChild<QWidget *>(QString::fromLatin1(name));
}

void addControls(QWidget &window, std::span<const ControlSpec> controls)
{
    std::vector<std::pair<int, QWidget *>> focusable;
    for (const ControlSpec &spec : controls) {
        QWidget *control = createControl(spec);
        control->setObjectName(QString::fromLatin1(spec.name));
        control->setParent(container(window, spec.container));
        control->setGeometry(Twips::rect(spec.left, spec.top, spec.width, spec.height));
        if (spec.font)
            control->setFont(Fonts::fromSpec(*spec.font));
        if (control->focusPolicy() & Qt::TabFocus)
            focusable.emplace_back(spec.tabIndex, control);
    }
    std::stable_sort(focusable.begin(), focusable.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    chainTabOrder(focusable);
}

std::unique_ptr<SurfaceLabel> makeLabel(const LabelSpec &spec, const QFont &fallback)
{
    const std::uint32_t fore = spec.foreColour == DefaultColour ? DefaultLabelColour : spec.foreColour;
    return std::make_unique<SurfaceLabel>(QString::fromLatin1(spec.name), spec.left, spec.top,
                                          spec.width, spec.height, QString::fromLatin1(spec.text),
                                          Fonts::pick(spec.font, fallback), fore, LabelBackColour,
                                          spec.opaque, spec.alignment);
}

std::unique_ptr<SurfaceLine> makeLine(const LineSpec &spec)
{
    const std::uint32_t colour = spec.colour == DefaultColour ? DefaultLineColour : spec.colour;
    return std::make_unique<SurfaceLine>(QString::fromLatin1(spec.name), spec.x1, spec.y1, spec.x2,
                                         spec.y2, colour);
}

std::unique_ptr<SurfaceShape> makeShape(const ShapeSpec &spec)
{
    std::optional<std::uint32_t> fill;
    if (spec.fillColour != DefaultColour)
        fill = spec.fillColour;
    return std::make_unique<SurfaceShape>(QString::fromLatin1(spec.name), spec.kind, spec.left,
                                          spec.top, spec.width, spec.height, DefaultLineColour, fill);
}

void addLabels(QWidget &window, std::span<const LabelSpec> labels)
{
    for (const LabelSpec &spec : labels) {
        QWidget *holder = container(window, spec.container);
        if (auto *host = dynamic_cast<SurfaceHost *>(holder))
            host->surface().add(makeLabel(spec, holder->font()));
    }
}

} // namespace FormBuilder
