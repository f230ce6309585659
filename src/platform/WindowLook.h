#pragma once

#include <QColor>
#include <QFont>
#include <QWidget>

namespace zqb {

// Makes the Tahoma-metric faces known to the application where they are installed; true when
// they are. Call once the application object exists, before any window is built.
bool RegisterWindowFonts();

// Fonts by family and pixel size, so the fixed layout holds at any screen resolution.
// The requested family falls back to a look-alike where it is not installed.
QFont WindowFont(const QString& family, int pixelSize, bool bold = false);
inline QFont TahomaFont(int pixelSize, bool bold = false) { return WindowFont(QStringLiteral("Tahoma"), pixelSize, bold); }

// A label's font colour, kept in its palette where tests and repaints read it.
inline void SetTextColour(QWidget* widget, const QColor& colour)
{
    QPalette look = widget->palette();
    look.setColor(QPalette::WindowText, colour);
    widget->setPalette(look);
}

}  // namespace zqb
