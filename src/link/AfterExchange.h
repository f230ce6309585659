#pragma once

#include <functional>

#include <QObject>

#include "protocol/SessionContext.h"

namespace zqb {

// Runs `action` now when no exchange runs, else as soon as the running one has ended. A click
// or a key can arrive inside an exchange's socket wait; a file dialog, a message box or a scan
// started there would hold the exchange until it closes. Nothing runs once `owner` is gone.
void RunAfterExchange(const SessionContext& context, QObject* owner, std::function<void()> action);

}  // namespace zqb
