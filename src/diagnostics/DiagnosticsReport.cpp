#include "diagnostics/DiagnosticsReport.h"

#include <algorithm>

#include <QFile>
#include <QRegularExpression>
#include <QSysInfo>
#include <QtGlobal>

#include "link/HostNetworkScan.h"
#include "platform/SafeFile.h"
#include "platform/IsoTime.h"
#include "protocol/AnsiText.h"
#include "protocol/DacText.h"
#include "protocol/Ipv4Text.h"
#include "setup/ConfigRecordLayout.h"

namespace zqb {

namespace {

// Keys of this length and more are blotted out wherever they stand in the text. Shorter ones (a
// web key takes one to five characters, and a module set up elsewhere may hold a short key of
// any kind) would, sought inside words, blot out letters of ordinary words all through the
// report: they are blotted out only where they stand as a word of their own in the lines that
// come from elsewhere (the log, the outcomes), which is how a careless line would hold one. The
// report's own lines never hold a key, and the hex dump hides the key bytes by their place.
constexpr qsizetype ShortestKeySought = 4;
const QString RedactedKey = QStringLiteral("[key redacted]");

QString Heading(const QString& title) { return QStringLiteral("\n== %1 ==\n").arg(title); }

QString AdapterTypeText(std::uint8_t type)
{
    switch (type) {
    case IfTypeEthernet: return QStringLiteral("Ethernet");
    case IfTypeLoopback: return QStringLiteral("loopback");
    case IfTypeIeee80211: return QStringLiteral("Wi-Fi");
    default: return QStringLiteral("type %1").arg(type);
    }
}

QString Quoted(const std::string& text) { return QLatin1Char('"') + QString::fromStdString(text) + QLatin1Char('"'); }

QString Ipv4Text(const Ipv4Bytes& bytes) { return DottedText(bytes); }

QString SecurityText(std::uint8_t apSecurity) { return apSecurity ? QStringLiteral("WPA/WPA2") : QStringLiteral("open"); }

QString StationKeyTypeText(std::uint8_t type)
{
    switch (type) {
    case 0: return QStringLiteral("open");
    case 1: return QStringLiteral("WEP");
    default: return QStringLiteral("WPA/WPA2");
    }
}

QString KeyText(const QByteArray& key, bool secured)
{
    if (!secured) return QStringLiteral("none");
    return key.isEmpty() ? QStringLiteral("empty") : RedactedKey;
}

QString LinkRecordText(const LinkRecordKeeper::Kept& kept)
{
    const LinkRecord& r = kept.record;
    QStringList lines;
    lines << QStringLiteral("Last link record (%1):").arg(IsoLocalTime(kept.at));
    lines << QStringLiteral("  Model: %1 (%2)").arg(r.ModelName()).arg(r.model);
    lines << QStringLiteral("  Firmware: %1").arg(r.FirmwareText());
    lines << QStringLiteral("  MAC: %1").arg(r.MacText());
    lines << QStringLiteral("  Address: %1").arg(r.AddressText());
    const std::optional<int> dbm = r.SignalDbm();
    lines << QStringLiteral("  Signal: %1").arg(dbm ? QStringLiteral("%1 dBm").arg(*dbm) : QStringLiteral("not reported"));
    lines << QStringLiteral("  Wi-Fi mode: %1").arg(r.accessPoint ? QStringLiteral("access point") : QStringLiteral("station"));
    lines << QStringLiteral("  Access point SSID: \"%1\", security %2, key %3")
                 .arg(PrintableText(r.apSsid), SecurityText(r.apSecurity), KeyText(r.apKey, r.apSecurity != 0));
    lines << QStringLiteral("  Station SSID: \"%1\", key type %2, key %3")
                 .arg(PrintableText(r.staSsid), StationKeyTypeText(r.staKeyType), KeyText(r.staKey, r.staKeyType != 0));
    lines << QStringLiteral("  Fixed station address: %1")
                 .arg(r.staticIpInUse ? QStringLiteral("%1, mask %2, gateway %3")
                                            .arg(Ipv4Text(r.staticIp), Ipv4Text(r.staticMask), Ipv4Text(r.staticGateway))
                                      : QStringLiteral("not in use"));
    lines << QStringLiteral("  Modbus: port %1, idle time-out %2 s").arg(r.modbusPort).arg(r.modbusIdleTimeout);
    lines << QStringLiteral("  Location: \"%1\"").arg(PrintableText(r.location));
    lines << QStringLiteral("  DO bits %1, DI bits %2, DAC code %3 (%4), range %5")
                 .arg(r.doBits)
                 .arg(r.diBits)
                 .arg(r.dacCode)
                 .arg(DacVoltsText(r.dacCode), r.fourToTwenty ? QStringLiteral("4-20mA") : QStringLiteral("0-20mA"));
    lines << QStringLiteral("  Settings record carried: %1").arg(r.configRecord ? QStringLiteral("yes") : QStringLiteral("no"));
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

bool InKeyArea(std::size_t offset)
{
    for (const ConfigField field : {ConfigField::apKey, ConfigField::staKey}) {
        const FieldSpan span = SpanOf(field);
        if (offset >= span.offset && offset < span.End()) return true;
    }
    return false;
}

// Every key the facts know of, as text, each once.
QStringList KnownKeys(const DiagnosticsFacts& facts)
{
    std::vector<QByteArray> keys = facts.keys;
    if (facts.linkRecord) {
        keys.push_back(facts.linkRecord->record.apKey);
        keys.push_back(facts.linkRecord->record.staKey);
    }
    for (const ConfigField field : {ConfigField::apKey, ConfigField::staKey}) {
        const FieldSpan span = SpanOf(field);
        const auto* area = reinterpret_cast<const char*>(facts.configRecord.data() + span.offset);
        const std::size_t length = std::min<std::size_t>(facts.configRecord[span.offset - 1], span.width);
        keys.emplace_back(area, static_cast<qsizetype>(length));
        keys.push_back(ReadTextField(facts.configRecord.data() + span.offset, span.width));
    }
    QStringList known;
    for (const QByteArray& key : keys)
        if (!key.isEmpty()) known << FromAnsi(key) << PrintableText(key);
    known.removeDuplicates();
    // Longest first, so that a key holding another is blotted out whole.
    std::sort(known.begin(), known.end(), [](const QString& a, const QString& b) { return a.size() > b.size(); });
    return known;
}

void BlotOutKeys(QString& text, const QStringList& keys)
{
    for (const QString& key : keys)
        if (key.size() >= ShortestKeySought) text.replace(key, RedactedKey);
}

// A short key where neither a letter nor a digit stands right before or after it; all in one
// pass, so that no key is sought inside the words of another's replacement.
void BlotOutShortKeys(QString& text, const QStringList& keys)
{
    QStringList shortKeys;
    for (const QString& key : keys)
        if (key.size() < ShortestKeySought) shortKeys << QRegularExpression::escape(key);
    if (shortKeys.isEmpty()) return;
    const QRegularExpression word(
        QStringLiteral("(?<![\\p{L}\\p{N}])(?:%1)(?![\\p{L}\\p{N}])").arg(shortKeys.join(QLatin1Char('|'))));
    text.replace(word, RedactedKey);
}

}  // namespace

QString HostCheckText(HostNetworkBackend& backend, const QString& networkPrefix, bool countWired)
{
    QStringList failures;
    HostNetwork host(backend, [&failures](const std::string& text) { failures << QString::fromStdString(text); });
    host.SetCountWiredAdapters(countWired);
    const std::uint8_t matches = host.HostNetworkScan(networkPrefix.toStdString());
    const WifiMatchTable& counted = host.Matches();
    const auto isCounted = [&](const std::string& name, const std::string& address) {
        for (std::size_t i = 0; i < counted.count; ++i)
            if (counted.entries[i].interfaceGuid == name && counted.entries[i].ipv4Address == address) return true;
        return false;
    };

    QStringList lines;
    lines << QStringLiteral("Module network prefix: %1").arg(networkPrefix);
    lines << QStringLiteral("Wired and loopback interfaces count: %1")
                 .arg(countWired ? QStringLiteral("yes (a module address was given)") : QStringLiteral("no, Wi-Fi only"));
    for (const QString& failure : failures) lines << QStringLiteral("Scan failure: %1").arg(failure);
    const HostAdapterTable& adapters = host.Adapters();
    lines << QStringLiteral("Adapters (%1):").arg(adapters.count);
    for (std::size_t i = 0; i < std::min<std::size_t>(adapters.count, MaxHostAdapters); ++i) {
        const HostAdapter& a = adapters.entries[i];
        lines << QStringLiteral("  %1  %2  %3, %4  %5  %6%7")
                     .arg(Quoted(a.adapterName),
                          a.ipv4Address.empty() ? QStringLiteral("no IPv4 address") : QString::fromStdString(a.ipv4Address),
                          AdapterTypeText(a.interfaceType),
                          a.operationalStatus == 1 ? QStringLiteral("up") : QStringLiteral("not up"),
                          a.hardwareAddressText.empty() ? QStringLiteral("no hardware address")
                                                        : QString::fromStdString(a.hardwareAddressText),
                          Quoted(a.friendlyName.empty() ? a.description : a.friendlyName),
                          isCounted(a.adapterName, a.ipv4Address) ? QStringLiteral("  COUNTED") : QString());
    }
    const WifiInterfaceTable& wifi = host.WifiInterfaces();
    lines << QStringLiteral("Wi-Fi interfaces (%1):").arg(wifi.count);
    for (std::size_t i = 0; i < std::min<std::size_t>(wifi.count, MaxWifiInterfaces); ++i) {
        const WifiInterface& w = wifi.entries[i];
        lines << QStringLiteral("  %1  %2%3")
                     .arg(Quoted(w.interfaceGuid),
                          w.state == WifiStateConnected ? QStringLiteral("connected") : QStringLiteral("state %1").arg(w.state),
                          w.state == WifiStateConnected
                              ? QStringLiteral(", profile %1, BSSID %2").arg(Quoted(w.profileName), QString::fromStdString(w.bssidText))
                              : QString());
    }
    QString verdict;
    if (matches == 1)
        verdict = QStringLiteral("one interface counted: the module's network is reachable");
    else if (matches == 0)
        verdict = QStringLiteral("no interface counted: \"Device not found!!\"");
    else
        verdict = QStringLiteral("%1 interfaces counted: \"Same multiple IP found!!\"").arg(matches);
    lines << QStringLiteral("Result: ") + verdict;
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QString ConfigRecordHex(const DeviceConfigRecord& record)
{
    QStringList lines;
    for (std::size_t row = 0; row < record.size(); row += 16) {
        QString line = QStringLiteral("%1 ").arg(row, 4, 16, QLatin1Char('0')).toUpper();
        for (std::size_t i = row; i < row + 16; ++i)
            line += InKeyArea(i) ? QStringLiteral(" **")
                                 : QStringLiteral(" %1").arg(unsigned{record[i]}, 2, 16, QLatin1Char('0')).toUpper();
        lines << line;
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QString DiagnosticsText(const DiagnosticsFacts& facts)
{
    QString text = QStringLiteral("zQB IO Console diagnostics\nWritten: %1\n").arg(IsoLocalTime(facts.written));
    text += Heading(QStringLiteral("Program"));
    text += QStringLiteral("Program: %1\nQt: %2\nPlatform: %3\n").arg(facts.programVersion, facts.qtVersion, facts.platform);

    text += Heading(QStringLiteral("Host network check"));
    text += facts.hostCheck;

    text += Heading(QStringLiteral("Module"));
    text += QStringLiteral("Address: %1, port %2\nLinked: %3\n")
                .arg(facts.moduleAddress)
                .arg(facts.modulePort)
                .arg(facts.linked ? QStringLiteral("yes")
                                  : facts.everLinked ? QStringLiteral("no (linked earlier in this run)") : QStringLiteral("no"));
    text += facts.linkRecord ? LinkRecordText(*facts.linkRecord)
                             : QStringLiteral("No link record has come from the module in this run.\n");

    const QStringList keys = KnownKeys(facts);
    // The lines that come from elsewhere: only there is a short key sought as well.
    QString elsewhere =
        Heading(QStringLiteral("Diagnostic log, last %1 of at most %2 lines").arg(facts.logLines.size()).arg(ReportLogLines));
    for (const QString& line : facts.logLines) elsewhere += line + QLatin1Char('\n');

    elsewhere += Heading(QStringLiteral("Outcomes, last %1 of at most %2").arg(facts.outcomes.size()).arg(ReportOutcomes));
    for (const LoggedOutcome& logged : facts.outcomes)
        elsewhere += QStringLiteral("%1  %2  %3: %4\n")
                         .arg(IsoLocalTime(logged.at),
                              logged.outcome.command ? CommandName(logged.outcome.command) : QStringLiteral("-"),
                              QString::fromLatin1(OutcomeKindName(logged.outcome.kind)), DescribeOutcome(logged.outcome));
    BlotOutShortKeys(elsewhere, keys);
    text += elsewhere;

    // Module texts and log lines can hold anything, a key included: every key known is blotted
    // out before the hex dump, which hides the key bytes by their place instead.
    BlotOutKeys(text, keys);

    text += Heading(QStringLiteral("Settings record, 256 bytes, key bytes as **"));
    text += facts.configRecordValid ? QStringLiteral("The module's own, from its last link record.\n")
                                    : QStringLiteral("Not the module's own: not read since the start or a reset to defaults.\n");
    text += ConfigRecordHex(facts.configRecord);
    return text;
}

DiagnosticsFacts GatherDiagnostics(const SessionContext& context, const DeviceSettings& settings,
                                   const DiagnosticsSources& sources)
{
    const DeviceSession& session = context.session;
    DiagnosticsFacts facts;
    facts.written = QDateTime::currentDateTime();
    facts.programVersion = sources.programVersion;
    facts.qtVersion = QStringLiteral("%1 (built with %2)").arg(QString::fromLatin1(qVersion()), QStringLiteral(QT_VERSION_STR));
    facts.platform = PlatformText() + (sources.display.isEmpty() ? QString() : QStringLiteral(", display ") + sources.display);
    if (sources.hostBackend) facts.hostCheck = HostCheckText(*sources.hostBackend, context.NetworkPrefix, sources.countWired);
    facts.moduleAddress = session.hostAddress;
    facts.modulePort = session.hostPort;
    facts.linked = session.linked != 0;
    facts.everLinked = session.DeviceEverLinked != 0;
    if (sources.linkRecords) facts.linkRecord = sources.linkRecords->Last();
    facts.logLines = sources.logLines.mid(std::max<qsizetype>(0, sources.logLines.size() - ReportLogLines));
    facts.outcomes = context.outcomes.Last(ReportOutcomes);
    facts.configRecord = session.deviceConfigRecord;
    facts.configRecordValid = session.deviceConfigRecordValid != 0;
    facts.keys = {session.apKey, session.staKey, settings.LastWebKey()};
    for (const QString& typed : sources.typedKeys) facts.keys.push_back(ToAnsi(typed));
    return facts;
}

QString ProposedDiagnosticsName(const QDateTime& at)
{
    return QStringLiteral("zqb-diagnostics-%1.txt").arg(at.toString(QStringLiteral("yyyyMMdd-HHmmss")));
}

QString PlatformText()
{
    return QStringLiteral("%1, %2 %3, %4")
        .arg(QSysInfo::prettyProductName(), QSysInfo::kernelType(), QSysInfo::kernelVersion(), QSysInfo::currentCpuArchitecture());
}

Outcome SaveDiagnosticsText(Dialogs& dialogs, const QString& text, const QDateTime& at)
{
    const std::optional<QString> path =
        dialogs.AskSaveFile(QStringLiteral("Text|*.txt"), ProposedDiagnosticsName(at), QStringLiteral("txt"));
    if (!path) return Outcome::Cancelled();
    // The report may tell more of the user's network than others should read.
    const FileWrite written = WriteWholeFile(QFile::encodeName(*path), text.toUtf8(), FileMode::Private);
    if (!written.written) return Outcome::File(*path, written.reason);
    Outcome done = Outcome::Done();
    done.field = *path;
    return done;
}

}  // namespace zqb
