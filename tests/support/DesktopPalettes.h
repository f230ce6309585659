#pragma once

#include <QPalette>

namespace zqb::test {

// A dark desktop scheme of the kind KDE and GNOME ship: light text on dark grey.
inline QPalette DarkDesktopPalette()
{
    QPalette dark;
    const QColor window(49, 54, 59), base(35, 38, 41), text(239, 240, 241), disabled(110, 115, 120);
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        const QColor ink = group == QPalette::Disabled ? disabled : text;
        dark.setColor(group, QPalette::Window, window);
        dark.setColor(group, QPalette::WindowText, ink);
        dark.setColor(group, QPalette::Base, base);
        dark.setColor(group, QPalette::AlternateBase, window);
        dark.setColor(group, QPalette::Text, ink);
        dark.setColor(group, QPalette::Button, window);
        dark.setColor(group, QPalette::ButtonText, ink);
        dark.setColor(group, QPalette::Highlight, QColor(61, 174, 233));
        dark.setColor(group, QPalette::HighlightedText, QColor(252, 252, 252));
        dark.setColor(group, QPalette::ToolTipBase, window);
        dark.setColor(group, QPalette::ToolTipText, text);
        dark.setColor(group, QPalette::Light, QColor(64, 70, 76));
        dark.setColor(group, QPalette::Midlight, QColor(59, 64, 69));
        dark.setColor(group, QPalette::Mid, QColor(43, 47, 51));
        dark.setColor(group, QPalette::Dark, QColor(30, 33, 36));
        dark.setColor(group, QPalette::Shadow, QColor(20, 22, 24));
        dark.setColor(group, QPalette::PlaceholderText, disabled);
    }
    return dark;
}

}  // namespace zqb::test
