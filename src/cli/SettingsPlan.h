#pragma once

#include <optional>
#include <vector>

#include <QJsonObject>
#include <QStringList>

#include "cli/CliArguments.h"
#include "protocol/DeviceSession.h"
#include "protocol/Outcome.h"

namespace zqb::cli {

// "settings set" checked whole and patched into a copy of the module's record, before anything
// is sent. A setting left out of a group (AP, station, fixed address, Modbus) keeps the value the
// module reported, and the group is checked together as the setup window checks it.
struct SettingsPlan {
    DeviceConfigRecord record{};
    bool modbusChanged = false;  // the module is told with ConfigWritten afterwards
    QStringList written;         // "location=Hall 2", "ap-key=(hidden)": never a key
    QJsonObject json;            // the same, keys left out
};

// An input error naming the setting and the rule when a value is refused.
Result<SettingsPlan> PlanSettings(const std::vector<SettingAssignment>& assignments, const DeviceSession& session);

}  // namespace zqb::cli
