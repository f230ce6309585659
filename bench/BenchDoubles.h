#pragma once

// What the benchmarks give the module link in place of the windows (with zqb::QuietDisplay):
// nothing they do is measured.

#include <optional>

#include "protocol/QuietDisplay.h"
#include "platform/Dialogs.h"
#include "platform/Pauses.h"

namespace zqb::bench {

// Nothing measured asks the user anything.
class NoDialogs : public Dialogs {
public:
    MessageAnswer ShowMessage(const QString&, const QString&, MessageIcon, MessageButtons) override
    {
        return MessageAnswer::No;
    }
    std::optional<QString> AskOpenFile(const QString&, const QString&) override { return std::nullopt; }
    std::optional<QString> AskSaveFile(const QString&, const QString&, const QString&) override { return std::nullopt; }
};

class NoPauses : public Pauses {
public:
    void Pause(int) override {}
};

}  // namespace zqb::bench
