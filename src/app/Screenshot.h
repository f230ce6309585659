#pragma once

#include <functional>

#include <QString>
#include <QWidget>

#include "platform/SafeFile.h"

namespace zqb {

// Writes a PNG of the window to `file`, whole or not at all: a failed write leaves the old file
// as it was and says why.
FileWrite SaveScreenshot(QWidget& window, const QString& file);

// Saves a PNG of the window once `ready` holds (or when the wait runs out), then quits.
void ScreenshotWhenReady(QWidget& window, const QString& file, std::function<bool()> ready, int waitLimitMs);

}  // namespace zqb
