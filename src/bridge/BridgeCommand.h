#pragma once

#include <cstdint>
#include <variant>

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "cli/CliArguments.h"
#include "protocol/Outcome.h"

namespace zqb::bridge {

// A command message, read: what to ask of the module. The analog value stays as typed until the
// module's range is known, as with zqb's "ao".
struct BridgeCommand {
    enum class Kind { SetDo, SetAnalog, SetRange, ClearCounter, Locate };
    Kind kind = Kind::Locate;
    QString name;  // the topic's command part: "do/set"
    bool on = false;
    cli::AnalogRequest analog;
    bool fourToTwenty = false;
    std::uint8_t input = 0;
};

// "do/set", "ao/set", "range/set", "counters/clear", "locate/set".
const QStringList& CommandNames();

// The command that `payload` asks for under `name`, or the input error that sends nothing.
std::variant<BridgeCommand, Outcome> ParseCommand(const QString& name, const QByteArray& payload);

inline constexpr int MaxPayloadBytes = 64;

}  // namespace zqb::bridge
