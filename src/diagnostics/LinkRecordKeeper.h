#pragma once

#include <memory>
#include <optional>

#include <QDateTime>

#include "protocol/LinkRecord.h"
#include "protocol/SessionContext.h"

namespace zqb {

// The last link record the module delivered, decoded, with the time it came: the session keeps
// only some of its fields, and the status bars the rest as texts.
class LinkRecordKeeper {
public:
    explicit LinkRecordKeeper(SessionContext& context);

    struct Kept {
        LinkRecord record;
        QDateTime at;
    };
    const std::optional<Kept>& Last() const { return *last_; }

private:
    // Shared with the watcher the outcome log keeps, so that the watcher outlives nothing it
    // points to.
    std::shared_ptr<std::optional<Kept>> last_;
};

}  // namespace zqb
