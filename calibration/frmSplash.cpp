#include "frmSplash.h"

#include "FormBuilder.h"
#include "FrameControl.h"
#include "Label3DSite.h"
#include "RateBar.h"
#include "SplashImage.h"
#include "SplashLayout.h"
#include "SplashProgressBar.h"
#include "Twips.h"

#include <QCloseEvent>
#include <QFontMetricsF>
#include <QScreen>
#include <QStyle>
#include <QStyleFactory>
#include <QTimer>
#include <cmath>

// The logo lives in this static library's resources, which a program linking
// the library only registers when asked to.
static void registerSplashResources()
{
    Q_INIT_RESOURCE(splash);
}

namespace {

// No title bar, no buttons. Qt gives a window of the splash type no
// decoration hints on X11, and X11 window managers (Xwayland's among them)
// then frame it: a plain frameless window typed as a splash carries both.
constexpr Qt::WindowFlags SplashFlags = Qt::Window | Qt::FramelessWindowHint;

// The title's property set as the window designer stored it. Each caption
// and font entry appears twice, as the designer wrote them; the control
// reads the first of each.
PropertyBag storedTitle()
{
    const FontRef font = StdFont::create(FontDescription{QStringLiteral("Arial"), 15.75f});
    const QString caption = QStringLiteral("Quarnet");
    PropertyBag bag;
    bag.append(Label3DSite::ExtentXKey, PropertyValue::int32(5953));
    bag.append(Label3DSite::ExtentYKey, PropertyValue::int32(661));
    bag.append(QStringLiteral("forecolor1"), PropertyValue::int32(qint32(0x8000000Eu)));
    bag.append(QStringLiteral("forecolor2"), PropertyValue::int32(qint32(0x80000012u)));
    bag.append(QStringLiteral("caption"), PropertyValue::text(caption));
    bag.append(QStringLiteral("caption"), PropertyValue::text(caption));
    bag.append(QStringLiteral("font"), PropertyValue::font(font));
    bag.append(QStringLiteral("font"), PropertyValue::font(font));
    return bag;
}

std::unique_ptr<SurfaceLabel> makeLabel(const SplashLayout::StyledLabelRow &styled, const QFont &dialog)
{
    const LabelRow &row = styled.row;
    QFont font = Fonts::pick(row.font, dialog);
    font.setBold(styled.bold);
    font.setItalic(styled.italic);
    const QString text = QString::fromLatin1(row.text);
    double width = row.width;
    double height = row.height;
    if (styled.sizedToText) {
        // Whole pixels, rounded up: a box a fraction narrower than its text
        // would wrap the last word away.
        const QFontMetricsF metrics(font);
        width = Twips::fromPixels(std::ceil(metrics.horizontalAdvance(text)));
        height = Twips::fromPixels(std::ceil(metrics.height()));
    }
    return std::make_unique<SurfaceLabel>(QString::fromLatin1(row.name), row.left, row.top, width,
                                          height, text, font, FormBuilder::DefaultLabelColour,
                                          FormBuilder::LabelBackColour, row.opaque, row.alignment);
}

// Some desktop styles shade a frame's panel (Fusion does), and the title,
// which paints its box in the button face, would then stand out as a lighter
// patch. An etched border over an unshaded panel is how the frame was drawn.
// A widget's own style reaches none of its children.
void plainFrame(QWidget &frame)
{
    if (QStyle *plain = QStyleFactory::create(QStringLiteral("Windows"))) {
        plain->setParent(&frame);
        frame.setStyle(plain);
    }
}

} // namespace

frmSplash::frmSplash(DriveState &state, StartupSequence::Services services,
                     std::function<void()> showMainWindow, QWidget *parent)
    : FormWindow(QString(), SplashLayout::ClientWidth, SplashLayout::ClientHeight, parent),
      m_startup(state, services, *this, std::move(showMainWindow))
{
    registerSplashResources();
    setWindowFlags(SplashFlags);
    setFixedSize(Twips::size(SplashLayout::ClientWidth, SplashLayout::ClientHeight));
    FormHandles handles;
    handles.bind(SplashLayout::FrameName, m_frame);
    handles.checkAllMade(FormBuilder::addControls(*this, std::span(&SplashLayout::Frame, 1), &handles));
    plainFrame(*m_frame);
    addLabels();
    addLogo();
    addTitle();
    addBar();
    placeOnScreen();
    // Qt only passes the splash type to X11 for a window that exists: made
    // here, where it is centred, since a window manager that ignores moves
    // before the first map (weston's) takes the position it was made at.
    create();
    setAttribute(Qt::WA_X11NetWmWindowTypeSplash);

    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("Timer1"));
    m_timer->setSingleShot(true);
    m_timer->setInterval(SplashLayout::TimerIntervalMs);
    connect(m_timer, &QTimer::timeout, this, &frmSplash::Timer1_Timer);
    m_timer->start();
}

void frmSplash::placeOnScreen()
{
    if (const QScreen *where = screen()) {
        QRect placed = geometry();
        placed.moveCenter(where->availableGeometry().center());
        move(placed.topLeft());
    }
}

// The surface stacks its first item on top: the mark lies over the label
// above it, the labels over nothing else. The bar and the title are child
// widgets and so lie above all of them.
void frmSplash::addLabels()
{
    Surface &surface = m_frame->surface();
    surface.add(FormBuilder::makeLine(SplashLayout::Mark));
    for (const SplashLayout::StyledLabelRow &row : SplashLayout::Labels)
        surface.add(makeLabel(row, m_frame->font()));
    m_rate = &surface.add(makeLabel({SplashLayout::RateLabel}, m_frame->font()));
}

void frmSplash::addLogo()
{
    const SplashLayout::Box &box = SplashLayout::Logo;
    m_logo = &m_frame->surface().add(std::make_unique<SplashImage>(
        QStringLiteral("imgLogo"), box.left, box.top, box.width, box.height,
        QImage(QString::fromLatin1(SplashLayout::LogoResource))));
}

// The title is read from its stored set, as the designer saved it, rather
// than set up property by property.
void frmSplash::addTitle()
{
    auto *site = new Label3DSite(m_frame);
    QString error;
    m_title = site->createStored(SplashLayout::Title.left, SplashLayout::Title.top, storedTitle(), &error);
    if (!m_title)
        qWarning("frmSplash: the title could not be read: %s", qPrintable(error));
    else
        m_title->setObjectName(QStringLiteral("Label3D1"));
}

void frmSplash::addBar()
{
    const SplashLayout::Box &box = SplashLayout::Bar;
    m_bar = new SplashProgressBar(RateBar::Minimum, RateBar::Maximum, m_frame);
    m_bar->setObjectName(QStringLiteral("ProgressBar1"));
    m_bar->setGeometry(Twips::rect(box.left, box.top, box.width, box.height));
}

void frmSplash::setRateText(const QString &text)
{
    m_rate->setText(text);
    m_frame->update();
}

void frmSplash::setBarValue(float value)
{
    m_bar->SetValue(value);
}

void frmSplash::closeSplash()
{
    m_closing = true;
    close();
    deleteLater();
}

void frmSplash::stopTimer()
{
    m_timer->stop();
}

// Only the start-up sequence closes the window. Closed any other way, the
// timer would go with it and the main window would never open.
void frmSplash::closeEvent(QCloseEvent *event)
{
    if (m_closing)
        event->accept();
    else
        event->ignore();
}

void frmSplash::Timer1_Timer()
{
    m_startup.tick();
}
