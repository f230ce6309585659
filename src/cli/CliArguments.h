#pragma once

#include <cstdint>
#include <optional>
#include <variant>
#include <vector>

#include <QString>
#include <QStringList>

#include "link/ModuleScan.h"

namespace zqb::cli {

// What the program's exit status says.
enum ExitStatus : int {
    ExitDone = 0,
    ExitRefused = 1,      // the module refused, a verdict failed, or another zqb talks to it
    ExitUsage = 2,        // a usage or input error; nothing was sent
    ExitUnreachable = 3,  // no connection, no reply, or the PC is not in the module's network
};

enum class Command {
    Help,
    Version,
    Status,
    Watch,
    SetDo,
    SetAnalog,
    SetRange,
    Locate,
    Counters,
    FunctionShow,
    FunctionSave,
    FunctionLoad,
    SettingsBackup,
    SettingsRestore,
    SettingsSet,
    WebKey,
    WifiMode,
    ResetDefaults,
    Reboot,
    Firmware,
    Scan,
};

// "ao" as typed: a DAC code, volts or milliamperes. Converted once the module's range is known.
struct AnalogRequest {
    enum class Unit { Code, Volts, Milliamps };
    Unit unit = Unit::Code;
    double value = 0;
    QString text;
};

// "ao" as typed: a code (digits only), or volts or milliamperes ("5V", "2.5v", "12mA"). Nothing for
// any other text. The bridge reads its "ao/set" payloads with it too.
std::optional<AnalogRequest> ParseAnalog(const QString& text);

struct SettingAssignment {
    QString name;
    QString value;
};

inline constexpr int DefaultScanParallel = 64;
inline constexpr int DefaultScanTimeoutMs = 500;
inline constexpr int DefaultWatchIntervalMs = 500;

// One run of the program, read from its arguments.
struct Invocation {
    Command command = Command::Help;

    QString moduleAddress = QStringLiteral("192.168.77.1");
    std::uint16_t modulePort = 13577;
    bool json = false;
    bool yes = false;
    std::optional<int> timeoutMs;

    bool doOn = false;                       // do on|off
    AnalogRequest analog;                    // ao
    bool fourToTwenty = false;               // range 4-20
    std::optional<int> clearCounter;         // counters --clear N
    QString file;                            // function save|load, settings backup|restore, firmware
    std::vector<SettingAssignment> settings; // settings set
    QString webKey;                          // web-key (its text is never printed)
    bool accessPoint = false;                // wifi-mode ap
    int watchIntervalMs = DefaultWatchIntervalMs;
    std::optional<int> watchCount;           // polls before watch ends
    std::optional<ScanRange> scanRange;      // scan CIDR
    int scanParallel = DefaultScanParallel;
};

struct UsageError {
    QString message;
};

// Reads the arguments that follow the program's name. Pure: no file, network or environment is
// looked at, so any text may be given to it.
std::variant<Invocation, UsageError> ParseArguments(const QStringList& arguments);

QString Usage();
QString VersionText();


}  // namespace zqb::cli
