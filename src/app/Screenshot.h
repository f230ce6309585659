#pragma once

#include <functional>

#include <QString>
#include <QWidget>

namespace zqb {

// Saves a PNG of the window once `ready` holds (or when the wait runs out), then quits.
void ScreenshotWhenReady(QWidget& window, const QString& file, std::function<bool()> ready, int waitLimitMs);

}  // namespace zqb
