#pragma once

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QWidget>

namespace zqb {

// The look the fixed layout is drawn for: makes the Tahoma-metric face known to the application
// where it is installed (true when it is), sizes check and radio indicators as drawn, pins the
// tool tips' colours and makes the windows' own accessibility known. Call once the application
// object exists, before any window is built.
bool ApplyWindowLook();

// The colours every window is drawn in, whatever palette the desktop sets.
namespace LookColour {
inline const QColor White{255, 255, 255};
inline const QColor ButtonFace{240, 240, 240};  // the system button face of the layout
inline const QColor Text{0, 0, 0};
// Text of a disabled control: greyed, still 4.5:1 on every background the windows use.
inline const QColor DisabledText{96, 96, 96};
inline const QColor Highlight{0, 102, 204};
inline const QColor ToolTip{255, 255, 225};
}  // namespace LookColour

// A complete palette, every role in every group, on the given background: with it a window looks
// the same under a light or a dark desktop palette.
QPalette WindowPalette(const QColor& background);
// Gives a window (or message box) that palette, filling its background.
void PinWindowPalette(QWidget* window, const QColor& background);

// Fonts by family and pixel size, so the fixed layout holds at any screen resolution.
// The requested family falls back to a look-alike where it is not installed. Bold Tahoma is drawn
// in DejaVu Sans Condensed Bold: the Tahoma-metric bold face of this platform has the regular
// stroke, only wider, while DejaVu's has the same advance widths and a true bold stroke.
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
