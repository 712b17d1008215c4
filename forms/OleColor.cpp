#include "OleColor.h"

#include <QGuiApplication>

namespace {

struct SystemEntry
{
    unsigned index;
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
};

// The desktop scheme's indexes mapped onto the nearest palette roles. Qt has
// no title-bar colours; the highlight stands in for the active title bar and
// its inactive variant for the inactive one.
constexpr SystemEntry SystemTable[] = {
    {0, QPalette::Active, QPalette::Mid},               // scroll bar
    {1, QPalette::Active, QPalette::Dark},              // desktop
    {2, QPalette::Active, QPalette::Highlight},         // active title bar
    {3, QPalette::Inactive, QPalette::Mid},             // inactive title bar
    {4, QPalette::Active, QPalette::Window},            // menu
    {5, QPalette::Active, QPalette::Base},              // window background
    {6, QPalette::Active, QPalette::Shadow},            // window frame
    {7, QPalette::Active, QPalette::WindowText},        // menu text
    {8, QPalette::Active, QPalette::Text},              // window text
    {9, QPalette::Active, QPalette::HighlightedText},   // title bar text
    {10, QPalette::Active, QPalette::Window},           // active border
    {11, QPalette::Inactive, QPalette::Window},         // inactive border
    {12, QPalette::Active, QPalette::Dark},             // application workspace
    {13, QPalette::Active, QPalette::Highlight},        // highlight
    {14, QPalette::Active, QPalette::HighlightedText},  // highlight text
    {15, QPalette::Active, QPalette::Button},           // button face
    {16, QPalette::Active, QPalette::Dark},             // button shadow
    {17, QPalette::Disabled, QPalette::Text},           // grey text
    {18, QPalette::Active, QPalette::ButtonText},       // button text
    {19, QPalette::Inactive, QPalette::WindowText},     // inactive title bar text
    {20, QPalette::Active, QPalette::Light},            // button highlight
    {21, QPalette::Active, QPalette::Shadow},           // 3D dark shadow
    {22, QPalette::Active, QPalette::Midlight},         // 3D light
    {23, QPalette::Active, QPalette::ToolTipText},      // tooltip text
    {24, QPalette::Active, QPalette::ToolTipBase},      // tooltip background
};

} // namespace

namespace OleColor {

QColor toColor(std::uint32_t value, const QPalette &palette)
{
    if (!isSystem(value)) {
        return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
    }
    const unsigned index = value & 0xFFFFu;
    for (const SystemEntry &entry : SystemTable) {
        if (entry.index == index)
            return palette.color(entry.group, entry.role);
    }
    return palette.color(QPalette::Active, QPalette::WindowText);
}

QColor toColor(std::uint32_t value)
{
    return toColor(value, QGuiApplication::palette());
}

} // namespace OleColor
