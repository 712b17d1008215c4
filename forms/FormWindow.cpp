#include "FormWindow.h"

#include "FontFace.h"
#include "OleColor.h"
#include "Twips.h"

#include <QPaintEvent>
#include <QPainter>

namespace {

// Windows, frames and opaque labels share the desktop's button face, so a
// label's box blends into whatever container holds it.
constexpr std::uint32_t FormBackColour = OleColor::system(15);

constexpr Qt::WindowFlags FrameFlags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
    | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint;

} // namespace

FormWindow::FormWindow(const QString &caption, int clientWidth, int clientHeight, QWidget *parent)
    : QWidget(parent, FrameFlags)
{
    setWindowTitle(caption);
    setFont(Fonts::dialog());
    QPalette colours = palette();
    colours.setColor(QPalette::Window, OleColor::toColor(FormBackColour));
    setPalette(colours);
    setAutoFillBackground(true);
    resize(Twips::size(clientWidth, clientHeight));
}

void FormWindow::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    m_surface.paint(painter, surfaceScale(), palette(), event->region());
}
