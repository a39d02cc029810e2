#include "Colors.h"

#include <QGuiApplication>

#include <optional>

namespace kritzel {

namespace {

struct SystemEntry {
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
};

// The classic system colour indices, each with the palette entry that plays its part.
constexpr SystemEntry SystemEntries[] = {
    {QPalette::Active, QPalette::Button},          // scroll bar
    {QPalette::Active, QPalette::Window},          // desktop background
    {QPalette::Active, QPalette::Highlight},       // active caption
    {QPalette::Inactive, QPalette::Mid},           // inactive caption
    {QPalette::Active, QPalette::Window},          // menu
    {QPalette::Active, QPalette::Base},            // window
    {QPalette::Active, QPalette::Shadow},          // window frame
    {QPalette::Active, QPalette::WindowText},      // menu text
    {QPalette::Active, QPalette::Text},            // window text
    {QPalette::Active, QPalette::HighlightedText}, // caption text
    {QPalette::Active, QPalette::Button},          // active border
    {QPalette::Inactive, QPalette::Button},        // inactive border
    {QPalette::Active, QPalette::Mid},             // application work space
    {QPalette::Active, QPalette::Highlight},       // highlight
    {QPalette::Active, QPalette::HighlightedText}, // highlight text
    {QPalette::Active, QPalette::Button},          // button face
    {QPalette::Active, QPalette::Dark},            // button shadow
    {QPalette::Disabled, QPalette::Text},          // grey text
    {QPalette::Active, QPalette::ButtonText},      // button text
    {QPalette::Inactive, QPalette::WindowText},    // inactive caption text
    {QPalette::Active, QPalette::Light},           // button highlight
    {QPalette::Active, QPalette::Shadow},          // 3D dark shadow
    {QPalette::Active, QPalette::Midlight},        // 3D light
    {QPalette::Active, QPalette::ToolTipText},     // info text
    {QPalette::Active, QPalette::ToolTipBase},     // info background
};

// The red, green and blue of a plain colour (red in the lowest byte); none for a system
// colour, whose top byte is set.
std::optional<QColor> PlainRgb(TColor color) {
    const auto c = static_cast<std::uint32_t>(color);
    if ((c & 0xFF000000u) != 0) return std::nullopt;
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

} // namespace

QColor ToQColor(TColor color, const QPalette& palette) {
    if (const std::optional<QColor> rgb = PlainRgb(color)) return *rgb;
    const std::uint32_t index = static_cast<std::uint32_t>(color) & 0xFF;
    if (index < std::size(SystemEntries)) {
        const auto& e = SystemEntries[index];
        return palette.color(e.group, e.role);
    }
    return palette.color(QPalette::Active, QPalette::Window);
}

QColor ToQColor(TColor color) {
    // A plain colour needs no palette, and so no application.
    if (const std::optional<QColor> rgb = PlainRgb(color)) return *rgb;
    return ToQColor(color, QGuiApplication::palette());
}

} // namespace kritzel
