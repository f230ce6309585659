#pragma once

#include <optional>
#include <vector>

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include "diagnostics/LinkRecordKeeper.h"
#include "link/HostNetworkBackend.h"
#include "platform/Dialogs.h"
#include "protocol/DeviceSession.h"
#include "protocol/OutcomeLog.h"
#include "protocol/SessionContext.h"
#include "setup/DeviceSettings.h"

namespace zqb {

inline constexpr int ReportLogLines = 500;
inline constexpr int ReportOutcomes = 50;

// Everything a diagnostics report tells, gathered at one moment.
struct DiagnosticsFacts {
    QDateTime written;
    QString programVersion;
    QString qtVersion;
    QString platform;
    QString hostCheck;  // HostCheckText
    QString moduleAddress;
    std::uint16_t modulePort = 0;
    bool linked = false;
    bool everLinked = false;
    std::optional<LinkRecordKeeper::Kept> linkRecord;
    QStringList logLines;                 // the last ReportLogLines lines of the diagnostic log
    std::vector<LoggedOutcome> outcomes;  // the last ReportOutcomes outcomes
    DeviceConfigRecord configRecord{};
    bool configRecordValid = false;
    // Keys known to the console (access point, station, web login, and what the key fields of
    // the windows hold), as the module's bytes: never written, wherever they turn up.
    std::vector<QByteArray> keys;
};

// Where the facts come from besides the session and the settings.
struct DiagnosticsSources {
    HostNetworkBackend* hostBackend = nullptr;
    bool countWired = false;  // a module address was given: wired and loopback interfaces count
    const LinkRecordKeeper* linkRecords = nullptr;
    QStringList logLines;     // the diagnostic log, oldest first
    QStringList typedKeys;    // what the key fields of the windows hold, sent or not
    QString programVersion;
    QString display;          // the windowing system, when there is one
};

// `settings` gives the web login key last written, to be left out like the others.
DiagnosticsFacts GatherDiagnostics(const SessionContext& context, const DeviceSettings& settings,
                                   const DiagnosticsSources& sources);

// The host network check as it stands now, from scratch: every adapter and Wi-Fi interface, which
// of them counted for the module's network, and the verdict. Failures of the scan are told, not
// boxed.
QString HostCheckText(HostNetworkBackend& backend, const QString& networkPrefix, bool countWired);

// The settings record in hex, 16 bytes a line with their offset; the bytes of the access point
// and station keys are written as "**", whatever they hold.
QString ConfigRecordHex(const DeviceConfigRecord& record);

// The report as one text. No key of `keys`, nor one held in a link record, appears in it.
QString DiagnosticsText(const DiagnosticsFacts& facts);

// "zqb-diagnostics-20240501-120000.txt".
QString ProposedDiagnosticsName(const QDateTime& at);

// The program, Qt and the system it runs on.
QString PlatformText();

// Asks for a file name and writes the report there, readable by the user alone. Delivered,
// Declined (no name given) or FileError (the old file, if any, is left as it was).
Outcome SaveDiagnosticsText(Dialogs& dialogs, const QString& text, const QDateTime& at);

}  // namespace zqb
