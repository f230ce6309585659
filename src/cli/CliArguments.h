#pragma once

#include <cstdint>
#include <optional>
#include <variant>
#include <vector>

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include "link/ModuleScan.h"

namespace zqb::cli {

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
    QString file;                            // function save|load, settings backup|restore, firmware: as shown
    QByteArray filePath;                     // the same name's bytes as given, for the file system
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
// looked at, so any text may be given to it. `raw` holds the same arguments' bytes as the program
// received them, so that a file name that is not valid in the locale's encoding still names its
// file; without it they are taken from the texts.
std::variant<Invocation, UsageError> ParseArguments(const QStringList& arguments, const QList<QByteArray>& raw = {});

QString Usage();
QString VersionText();


}  // namespace zqb::cli
