#pragma once

#include <memory>

#include "protocol/Outcome.h"
#include "protocol/SessionContext.h"
#include "trend/TrendHistory.h"

namespace zqb {

// What an outcome means to the trend: the session holds new values (a delivered poll or output
// switch), the module was not there (a gap), or nothing.
enum class TrendEffect { None, Sample, Gap };
TrendEffect TrendEffectOf(const Outcome& outcome);

// The session's values as one sample.
TrendSample SampleOf(const DeviceSession& session, qint64 atMs);

// Fills the history from the outcomes the console records anyway: no traffic of its own. Lives
// for the whole run, from before the trend window is first opened.
class TrendRecorder {
public:
    explicit TrendRecorder(SessionContext& context);
    TrendHistory& History() { return state_->history; }

private:
    struct State {
        TrendHistory history;
        QString module;  // address and port of the module the last sample came from
    };
    // Shared with the watcher the outcome log keeps, so that the watcher outlives nothing it
    // points to.
    std::shared_ptr<State> state_;
};

}  // namespace zqb
