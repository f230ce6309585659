#pragma once

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QWidget>

namespace zqb {

// The look the fixed layout is drawn for: makes the Tahoma-metric faces known to the application
// where they are installed (true when they are) and sizes check and radio indicators as drawn.
// Call once the application object exists, before any window is built.
bool ApplyWindowLook();

// Fonts by family and pixel size, so the fixed layout holds at any screen resolution.
// The requested family falls back to a look-alike where it is not installed.
QFont WindowFont(const QString& family, int pixelSize, bool bold = false);
inline QFont TahomaFont(int pixelSize, bool bold = false) { return WindowFont(QStringLiteral("Tahoma"), pixelSize, bold); }

// Shows a one-line text in a label of fixed width: the design font while the text fits, else a
// smaller size down to minimumPixelSize, else cut with an ellipsis. The whole text is always the
// label's tool tip and accessible name.
void ShowFitted(QLabel* label, const QString& text, const QFont& designFont, int minimumPixelSize);

// A label's font colour, kept in its palette where tests and repaints read it.
inline void SetTextColour(QWidget* widget, const QColor& colour)
{
    QPalette look = widget->palette();
    look.setColor(QPalette::WindowText, colour);
    widget->setPalette(look);
}

}  // namespace zqb
