#include "cli/ModuleCommands.h"

#include <algorithm>

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QSaveFile>
#include <QThread>

#include "cli/AnalogTarget.h"
#include "protocol/AnsiText.h"
#include "protocol/CommandBuilders.h"
#include "protocol/CommandCodes.h"
#include "protocol/CommandSenders.h"
#include "functioncfg/FunctionFile.h"
#include "functioncfg/FunctionRecordMapping.h"
#include "cli/LinkReport.h"
#include "cli/ModuleLock.h"
#include "protocol/NetworkGuard.h"
#include "protocol/ReplyHandler.h"
#include "setup/SettingsFile.h"
#include "cli/SettingsPlan.h"

namespace zqb::cli {

namespace {

QString PrefixOf(const QString& address) { return address.section(QLatin1Char('.'), 0, 2) + QLatin1Char('.'); }

// "Set DO" for SetDo: the name the window's message panel gives a command.
QString CommandName(std::uint8_t code)
{
    const QString refusal = RefusalText(code, 0);
    if (refusal.isEmpty()) return QStringLiteral("command %1").arg(code);
    return refusal.left(refusal.indexOf(QLatin1String(" refused")));
}

QString OnOff(bool on) { return on ? QStringLiteral("on") : QStringLiteral("off"); }
QString RangeName(bool fourToTwenty) { return fourToTwenty ? QStringLiteral("4-20") : QStringLiteral("0-20"); }
QString AddressText(const Ipv4Bytes& b) { return QStringLiteral("%1.%2.%3.%4").arg(b[0]).arg(b[1]).arg(b[2]).arg(b[3]); }
QString StationKeyName(std::uint8_t type)
{
    return type == 0 ? QStringLiteral("open") : type == 1 ? QStringLiteral("wep") : QStringLiteral("wpa");
}
std::int32_t ShownCode(std::int32_t code) { return std::clamp(code, 0, MaxDacCode); }

// Waits, a little at a time, so that a stop request is seen soon.
bool Wait(int milliseconds, const std::atomic<bool>* stop)
{
    for (int waited = 0; waited < milliseconds; waited += 10) {
        if (stop && *stop) return false;
        QThread::msleep(static_cast<unsigned long>(std::min(10, milliseconds - waited)));
    }
    return !(stop && *stop);
}

}  // namespace

ModuleSession::ModuleSession(const Invocation& invocation, CliServices& services, Output& output)
    : invocation_(invocation),
      services_(services),
      output_(output),
      hostBackend_(services.makeHostNetwork()),
      hostNetwork_(*hostBackend_, [this](const std::string& text) { output_.Message(QString::fromLocal8Bit(text.c_str())); }),
      link_(hostNetwork_, dialogs_, services.pauses),
      display_(link_.Context()),
      progress_(output),
      transfer_(link_, progress_),
      firmware_(link_, transfer_),
      actions_(link_, transfer_, firmware_)
{
    link_.ShowOn(display_);
    // The link record brings the module's function into the controls, as into the window.
    display_.ShowFunctionOn(&function_);
    // A module named on the command line may be reached by cable or on loopback too.
    hostNetwork_.SetCountWiredAdapters(true);

    DeviceSession& s = link_.Session();
    s.hostAddress = invocation.moduleAddress;
    s.staticAddressText = invocation.moduleAddress;
    s.hostPort = invocation.modulePort;
    link_.Context().NetworkPrefix = PrefixOf(invocation.moduleAddress);
    if (invocation.timeoutMs) {
        CommandTransport::Timing timing;
        timing.connectTimeoutMs = *invocation.timeoutMs;
        timing.replyWaitMs = 10;
        timing.replyWaits = std::max(1, (*invocation.timeoutMs + 9) / 10);
        link_.Transport().SetTiming(timing);
    }
}

int ModuleSession::ReplyWaitMs()
{
    const CommandTransport::Timing& t = link_.Transport().GetTiming();
    return t.replyWaits * t.replyWaitMs;
}

QString ModuleSession::ModuleText() const
{
    return QStringLiteral("%1:%2").arg(invocation_.moduleAddress).arg(invocation_.modulePort);
}

int ModuleSession::Say(int status, const QString& message)
{
    output_.Message(message);
    return status;
}

QJsonObject ModuleSession::Heading(const QString& command) const
{
    return {{QStringLiteral("command"), command}, {QStringLiteral("module"), ModuleText()}};
}

int ModuleSession::Link()
{
    if (!link_.Supervisor().PrepareLink()) {
        const QString prefix = link_.Context().NetworkPrefix + QLatin1Char('x');
        if (display_.modelText.startsWith(QLatin1String("Same multiple")))
            return Say(ExitUnreachable, QStringLiteral("more than one network interface of this PC has an address in %1; "
                                                       "the module must be reached through one")
                                            .arg(prefix));
        return Say(ExitUnreachable,
                   QStringLiteral("no network interface of this PC has an address in %1, the module's network").arg(prefix));
    }
    if (const int status = Exchange(GetLink, [](CommandFrame& frame) { return BuildGetLink(frame); }); status != ExitDone)
        return status;
    const Result<LinkRecord> decoded =
        DecodeLinkRecord(Context().replyBuffer.data(), static_cast<std::size_t>(Session().replyLength));
    if (!decoded.Ok()) return Say(ExitRefused, QStringLiteral("the module at %1: %2").arg(ModuleText(), DescribeOutcome(decoded.outcome)));
    report = decoded.value;
    if (report->model != SupportedModelCode)
        return Say(ExitRefused, QStringLiteral("the module at %1 reports model %2; zqb knows model %3 (%4) only")
                                    .arg(ModuleText())
                                    .arg(report->model)
                                    .arg(SupportedModelCode)
                                    .arg(ModelName184));
    // The window takes nothing more from a module that answers as another address.
    if (!Session().linked)
        return Say(ExitRefused, QStringLiteral("the module at %1 reports itself as %2; give --module %2")
                                    .arg(ModuleText(), report->AddressText()));
    return ExitDone;
}

int ModuleSession::Judge(const ExchangeResult& result, std::uint8_t code)
{
    using Kind = ExchangeResult::Kind;
    switch (result.kind) {
    case Kind::Dropped:
        return Say(ExitRefused, QStringLiteral("another exchange with the module was running"));
    case Kind::NotConnected:
        if (!ConnectionAllowed(invocation_.moduleAddress))
            return Say(ExitUnreachable, QStringLiteral("ZQB_LOOPBACK_ONLY is set: %1 is not a loopback address").arg(ModuleText()));
        return Say(ExitUnreachable, QStringLiteral("no connection to the module at %1").arg(ModuleText()));
    case Kind::ConnectionLost:
        return Say(ExitUnreachable, QStringLiteral("the connection to the module at %1 broke during %2")
                                        .arg(ModuleText(), CommandName(code)));
    case Kind::NoReply:
        return Say(ExitUnreachable, QStringLiteral("the module at %1 did not answer %2 within %3 ms")
                                        .arg(ModuleText(), CommandName(code))
                                        .arg(ReplyWaitMs()));
    case Kind::Sent:
        return ExitDone;
    case Kind::Replied:
        break;
    }
    const ReplyBuffer& reply = Context().replyBuffer;
    if (result.replyLength <= StatusOffset || !std::equal(FrameMagic.begin(), FrameMagic.end(), reply.begin()))
        return Say(ExitRefused, QStringLiteral("the module's reply to %1 is no module reply (invalid header)").arg(CommandName(code)));
    if (reply[StatusOffset] != StatusAcknowledged) {
        const QString refusal = RefusalText(code, reply[StatusOffset]);
        return Say(ExitRefused, refusal.isEmpty() ? QStringLiteral("command %1 refused (status %2)").arg(code).arg(reply[StatusOffset])
                                                  : refusal);
    }
    if (reply[CodeOffset] != code)
        return Say(ExitRefused, QStringLiteral("the module answered %1 with a reply to command %2").arg(CommandName(code)).arg(reply[CodeOffset]));
    return ExitDone;
}

int ModuleSession::JudgeDelivery(const ExchangeOutcome& result, std::uint8_t code)
{
    if (!result) return Say(ExitUnreachable, QStringLiteral("the PC is no longer in the module's network"));
    if (!result->Delivered()) return Judge(*result, code);
    if (ReplyRefused(Context(), *result, code)) return Judge(*result, code);
    return ExitDone;
}

int ModuleSession::JudgeTransfer(const TransferResult& result)
{
    progress_.Finish();
    switch (result.step) {
    case TransferStep::Sent:
        return ExitDone;
    case TransferStep::BadRequest:
        return Say(ExitUsage, result.reason);
    case TransferStep::NotAnnounced:
        // Only an answered announcement says "File write refused".
        if (display_.PanelText(StatusPanel::Message).startsWith(QLatin1String("File write refused")))
            return Say(ExitRefused, result.reason);
        return Say(ExitUnreachable, result.reason);
    case TransferStep::DataNotConnected:
    case TransferStep::DataCutShort:
        return Say(ExitUnreachable, result.reason);
    }
    return Say(ExitRefused, result.reason);
}

namespace {

// ---- status and watch ----

int Status(ModuleSession& m)
{
    if (const int status = m.Link(); status != ExitDone) return status;
    const LinkRecord& r = *m.report;
    const DeviceSession& s = m.Session();
    const std::int32_t code = ShownCode(s.dacCode);
    const bool di0 = (s.diState & 1) != 0;
    const bool di1 = (s.diState & 2) != 0;
    const bool out = (s.doState & 1) != 0;
    const QString fixed = s.staticIpEnabled ? QStringLiteral("%1 mask %2 gateway %3")
                                                  .arg(AddressText(s.staticIp), AddressText(s.staticMask), AddressText(s.staticGateway))
                                            : QStringLiteral("off");
    QStringList lines = {
        QStringLiteral("module: %1").arg(m.ModuleText()),
        QStringLiteral("model: %1 (%2)").arg(r.ModelName()).arg(r.model),
        QStringLiteral("firmware: %1").arg(r.FirmwareText()),
        QStringLiteral("MAC: %1").arg(r.MacText()),
        QStringLiteral("address: %1").arg(r.AddressText()),
        QStringLiteral("signal: %1").arg(r.SignalDbm() ? QStringLiteral("%1 dBm").arg(*r.SignalDbm()) : QStringLiteral("not reported")),
        QStringLiteral("location: %1").arg(PrintableText(s.locationText)),
        QStringLiteral("DI: DI0 %1, DI1 %2").arg(OnOff(di0), OnOff(di1)),
        QStringLiteral("DO: %1").arg(OnOff(out)),
        QStringLiteral("DAC: %1").arg(DacText(code)),
        QStringLiteral("range: %1 mA").arg(RangeName(m.Display().fourToTwenty)),
        QStringLiteral("Wi-Fi mode: %1").arg(s.wifiModeAp ? QStringLiteral("access point") : QStringLiteral("station")),
        QStringLiteral("AP: SSID %1, %2").arg(PrintableText(s.apSsid), s.apSecured ? QStringLiteral("WPA/WPA2") : QStringLiteral("OPEN")),
        QStringLiteral("station: SSID %1, %2").arg(PrintableText(s.staSsid), KeyTypeName(s.staKeyType)),
        QStringLiteral("Modbus: port %1, idle time-out %2 s").arg(s.modbusPort).arg(s.modbusIdleTimeout),
        QStringLiteral("fixed address: %1").arg(fixed),
    };
    QJsonObject json = m.Heading(QStringLiteral("status"));
    const QJsonObject identity = IdentityJson(r);
    for (auto it = identity.begin(); it != identity.end(); ++it) json.insert(it.key(), it.value());
    json.insert(QStringLiteral("location"), FromAnsi(s.locationText));
    json.insert(QStringLiteral("signalDbm"), r.SignalDbm() ? QJsonValue(*r.SignalDbm()) : QJsonValue());
    json.insert(QStringLiteral("di"), QJsonArray{di0, di1});
    json.insert(QStringLiteral("do"), out);
    const QJsonObject dac = DacJson(code);
    for (auto it = dac.begin(); it != dac.end(); ++it) json.insert(it.key(), it.value());
    json.insert(QStringLiteral("range"), RangeName(m.Display().fourToTwenty));
    json.insert(QStringLiteral("wifiMode"), s.wifiModeAp ? QStringLiteral("ap") : QStringLiteral("station"));
    json.insert(QStringLiteral("apSsid"), FromAnsi(s.apSsid));
    json.insert(QStringLiteral("apKeyType"), s.apSecured ? QStringLiteral("wpa") : QStringLiteral("open"));
    json.insert(QStringLiteral("staSsid"), FromAnsi(s.staSsid));
    json.insert(QStringLiteral("staKeyType"), StationKeyName(s.staKeyType));
    json.insert(QStringLiteral("modbusPort"), s.modbusPort);
    json.insert(QStringLiteral("modbusIdleTimeout"), s.modbusIdleTimeout);
    json.insert(QStringLiteral("staticIp"), s.staticIpEnabled ? QJsonValue(QJsonObject{
                                                                   {QStringLiteral("address"), AddressText(s.staticIp)},
                                                                   {QStringLiteral("mask"), AddressText(s.staticMask)},
                                                                   {QStringLiteral("gateway"), AddressText(s.staticGateway)},
                                                               })
                                                             : QJsonValue());
    m.Out().Result(lines.join(QLatin1Char('\n')), json);
    return ExitDone;
}

struct IoState {
    bool di0 = false;
    bool di1 = false;
    bool out = false;
    std::int32_t dac = 0;
    bool fourToTwenty = false;
    friend bool operator==(const IoState&, const IoState&) = default;
};

int Watch(ModuleSession& m)
{
    if (const int status = m.Link(); status != ExitDone) return status;
    const Invocation& request = m.Request();
    std::optional<IoState> shown;
    for (int poll = 0; !request.watchCount || poll < *request.watchCount; ++poll) {
        if (poll > 0 && !Wait(request.watchIntervalMs, m.Services().stop)) break;
        if (m.Services().stop && *m.Services().stop) break;
        if (const int status = m.Exchange(GetIoStatus, [](CommandFrame& f) { return BuildGetIoStatus(f); }); status != ExitDone)
            return status;
        const DeviceSession& s = m.Session();
        const IoState now{(s.diState & 1) != 0, (s.diState & 2) != 0, (s.doState & 1) != 0, ShownCode(s.dacCode),
                          m.Display().fourToTwenty};
        if (shown && *shown == now) continue;
        shown = now;
        const QString time = QDateTime::currentDateTime().toString(Qt::ISODateWithMs);
        QJsonObject json = m.Heading(QStringLiteral("watch"));
        json.insert(QStringLiteral("time"), time);
        json.insert(QStringLiteral("di"), QJsonArray{now.di0, now.di1});
        json.insert(QStringLiteral("do"), now.out);
        const QJsonObject dac = DacJson(now.dac);
        for (auto it = dac.begin(); it != dac.end(); ++it) json.insert(it.key(), it.value());
        json.insert(QStringLiteral("range"), RangeName(now.fourToTwenty));
        m.Out().Result(QStringLiteral("%1  DI0 %2  DI1 %3  DO %4  DAC %5  range %6 mA")
                           .arg(time, OnOff(now.di0), OnOff(now.di1), OnOff(now.out), DacText(now.dac), RangeName(now.fourToTwenty)),
                       json);
    }
    return ExitDone;
}

// ---- the main window's commands ----

int SetDoCommand(ModuleSession& m)
{
    if (const int status = m.Link(); status != ExitDone) return status;
    const std::uint8_t level = m.Request().doOn ? 1 : 0;
    if (const int status = m.Exchange(SetDo, [level](CommandFrame& f) { return BuildSetDo(f, 1, level); }); status != ExitDone)
        return status;
    const DeviceSession& s = m.Session();
    const bool out = (s.doState & 1) != 0;
    if (out != m.Request().doOn)
        return m.Say(ExitRefused, QStringLiteral("the module acknowledged, but reports DO %1").arg(OnOff(out)));
    QJsonObject json = m.Heading(QStringLiteral("do"));
    json.insert(QStringLiteral("do"), out);
    json.insert(QStringLiteral("di"), QJsonArray{(s.diState & 1) != 0, (s.diState & 2) != 0});
    m.Out().Result(QStringLiteral("DO %1 (DI0 %2, DI1 %3)").arg(OnOff(out), OnOff(s.diState & 1), OnOff(s.diState & 2)), json);
    return ExitDone;
}

int SendAnalog(ModuleSession& m, std::int32_t code)
{
    return m.Exchange(SetAnalog, [code](CommandFrame& f) { return BuildSetAnalog(f, 1, static_cast<std::uint16_t>(code)); });
}

int SetAnalogCommand(ModuleSession& m)
{
    if (const int status = m.Link(); status != ExitDone) return status;
    QString error;
    const std::optional<std::int32_t> code = AnalogCode(m.Request().analog, m.Display().fourToTwenty, error);
    if (!code) return m.Say(ExitUsage, error);
    if (const int status = SendAnalog(m, *code); status != ExitDone) return status;
    QJsonObject json = m.Heading(QStringLiteral("ao"));
    const QJsonObject dac = DacJson(*code);
    for (auto it = dac.begin(); it != dac.end(); ++it) json.insert(it.key(), it.value());
    json.insert(QStringLiteral("range"), RangeName(m.Display().fourToTwenty));
    m.Out().Result(QStringLiteral("AO %1").arg(DacText(*code)), json);
    return ExitDone;
}

int SetRangeCommand(ModuleSession& m)
{
    if (const int status = m.Link(); status != ExitDone) return status;
    const bool fourToTwenty = m.Request().fourToTwenty;
    // As the window ticks "4~20mA": an output below 4 mA is raised to it first.
    const bool raised = fourToTwenty && ShownCode(m.Session().dacCode) < FourMilliampCode;
    if (raised) {
        if (const int status = SendAnalog(m, FourMilliampCode); status != ExitDone) return status;
        m.Session().dacCode = FourMilliampCode;
    }
    const std::uint8_t range = fourToTwenty ? 1 : 0;
    if (const int status = m.Exchange(SetOutputRange, [range](CommandFrame& f) { return BuildSetOutputRange(f, range); });
        status != ExitDone)
        return status;
    QJsonObject json = m.Heading(QStringLiteral("range"));
    json.insert(QStringLiteral("range"), RangeName(fourToTwenty));
    json.insert(QStringLiteral("raisedTo"), raised ? QJsonValue(FourMilliampCode) : QJsonValue());
    m.Out().Result(QStringLiteral("range %1 mA%2")
                       .arg(RangeName(fourToTwenty),
                            raised ? QStringLiteral(" (AO raised to %1)").arg(DacText(FourMilliampCode)) : QString()),
                   json);
    return ExitDone;
}

int LocateCommand(ModuleSession& m)
{
    if (const int status = m.Link(); status != ExitDone) return status;
    const DeviceSession& s = m.Session();
    const std::uint8_t p1 = s.queuedParam1;
    const std::uint8_t p2 = s.queuedParam2;
    if (const int status = m.Exchange(SetLocator, [p1, p2](CommandFrame& f) { return BuildSetLocator(f, p1, p2); });
        status != ExitDone)
        return status;
    m.Out().Result(QStringLiteral("locator set: the module shows where it is"), m.Heading(QStringLiteral("locate")));
    return ExitDone;
}

int CountersCommand(ModuleSession& m)
{
    if (const int status = m.Link(); status != ExitDone) return status;
    const std::optional<int> clear = m.Request().clearCounter;
    if (clear) {
        const auto input = static_cast<std::uint8_t>(*clear);
        if (const int status = m.Exchange(ClearDiCounter, [input](CommandFrame& f) { return BuildClearDiCounter(f, input); });
            status != ExitDone)
            return status;
    }
    if (const int status = m.Exchange(GetDiCounters, [](CommandFrame& f) { return BuildGetDiCounters(f, 0, 0); });
        status != ExitDone)
        return status;
    const DeviceSession& s = m.Session();
    QJsonObject json = m.Heading(QStringLiteral("counters"));
    json.insert(QStringLiteral("di0"), static_cast<qint64>(s.diCount0));
    json.insert(QStringLiteral("di1"), static_cast<qint64>(s.diCount1));
    json.insert(QStringLiteral("cleared"), clear ? QJsonValue(*clear) : QJsonValue());
    m.Out().Result(QStringLiteral("DI0 %1  DI1 %2%3")
                       .arg(s.diCount0)
                       .arg(s.diCount1)
                       .arg(clear ? QStringLiteral("  (DI%1 cleared first)").arg(*clear) : QString()),
                   json);
    return ExitDone;
}

// ---- the function ----

struct FunctionFieldName {
    FunctionField field;
    const char* json;
};
constexpr FunctionFieldName FunctionNames[] = {
    {FunctionField::functionEnable, "enabled"},          {FunctionField::triggerEdge, "risingEdge"},
    {FunctionField::di0TrigDo, "di0TriggersDo"},         {FunctionField::di1TrigDo, "di1TriggersDo"},
    {FunctionField::doDelayOn, "doDelayOnSeconds"},      {FunctionField::doHoldAfterRelease, "doHoldSeconds"},
    {FunctionField::di0TrigDac, "di0TriggersDac"},       {FunctionField::di1TrigDac, "di1TriggersDac"},
    {FunctionField::dacOffCode, "dacOffCode"},           {FunctionField::dacOnCode, "dacOnCode"},
    {FunctionField::di0DacDelayOn, "di0DacDelaySeconds"}, {FunctionField::tOn, "tOnSeconds"},
    {FunctionField::tHold, "tHoldSeconds"},              {FunctionField::tOff, "tOffSeconds"},
    {FunctionField::di1DacDelayOn, "di1DacDelaySeconds"},
};

int FunctionShow(ModuleSession& m)
{
    if (const int status = m.Link(); status != ExitDone) return status;
    if (const int status = m.Exchange(GetFunctionConfig, [](CommandFrame& f) { return BuildGetFunctionConfig(f); });
        status != ExitDone)
        return status;
    const bool present = m.Context().replyBuffer[FunctionConfigReply::recordPresent.offset] == 1;
    QJsonObject json = m.Heading(QStringLiteral("function show"));
    json.insert(QStringLiteral("present"), present);
    if (!present) {
        m.Out().Result(QStringLiteral("no function stored in the module"), json);
        return ExitDone;
    }
    const FunctionRecord& record = m.Session().functionRecord;
    std::array<std::uint32_t, FunctionFieldTable.size()> v{};
    for (const FunctionFieldLayout& layout : FunctionFieldTable)
        v[static_cast<std::size_t>(layout.field)] =
            layout.recordWidth == 1 ? record[layout.recordOffset] : GetU16(&record[layout.recordOffset]);
    const auto at = [&v](FunctionField field) { return v[static_cast<std::size_t>(field)]; };
    for (const FunctionFieldName& name : FunctionNames) {
        const FieldControl control = FunctionFieldTable[static_cast<std::size_t>(name.field)].control;
        const bool flag = control == FieldControl::Flag || control == FieldControl::Edge;
        json.insert(QLatin1String(name.json), flag ? QJsonValue(at(name.field) == 1) : QJsonValue(static_cast<qint64>(at(name.field))));
    }
    json.insert(QStringLiteral("dacOffPercent"), DacCodeToPercent(at(FunctionField::dacOffCode)));
    json.insert(QStringLiteral("dacOnPercent"), DacCodeToPercent(at(FunctionField::dacOnCode)));
    const auto yes = [](std::uint32_t value) { return value == 1 ? QStringLiteral("yes") : QStringLiteral("no"); };
    const QStringList lines = {
        QStringLiteral("function mode: %1").arg(at(FunctionField::functionEnable) == 1 ? QStringLiteral("enabled") : QStringLiteral("disabled")),
        QStringLiteral("trigger: %1").arg(at(FunctionField::triggerEdge) == 1 ? QStringLiteral("rising edge (open)")
                                                                            : QStringLiteral("falling edge (close)")),
        QStringLiteral("DO: DI0 triggers %1, DI1 triggers %2, delay to on %3 s, hold after DI release %4 s")
            .arg(yes(at(FunctionField::di0TrigDo)), yes(at(FunctionField::di1TrigDo)))
            .arg(at(FunctionField::doDelayOn))
            .arg(at(FunctionField::doHoldAfterRelease)),
        QStringLiteral("DAC: DI0 triggers %1 (delay %2 s), DI1 triggers %3 (delay %4 s)")
            .arg(yes(at(FunctionField::di0TrigDac)))
            .arg(at(FunctionField::di0DacDelayOn))
            .arg(yes(at(FunctionField::di1TrigDac)))
            .arg(at(FunctionField::di1DacDelayOn)),
        QStringLiteral("waveform: off %1 (%2%), on %3 (%4%), Ton %5 s, Thold %6 s, Toff %7 s")
            .arg(at(FunctionField::dacOffCode))
            .arg(DacCodeToPercent(at(FunctionField::dacOffCode)))
            .arg(at(FunctionField::dacOnCode))
            .arg(DacCodeToPercent(at(FunctionField::dacOnCode)))
            .arg(at(FunctionField::tOn))
            .arg(at(FunctionField::tHold))
            .arg(at(FunctionField::tOff)),
    };
    m.Out().Result(lines.join(QLatin1Char('\n')), json);
    return ExitDone;
}

// The box the window would have shown, as this program's message; an Off value above the On
// value is the module's function at fault, anything else the file.
int DialogFailure(ModuleSession& m, std::size_t shownBefore, int fileStatus)
{
    const auto& shown = m.GetDialogs().shown;
    if (shown.size() == shownBefore) return ExitDone;
    const QString text = shown.back().text;
    return m.Say(text == OffAboveOnText ? ExitRefused : fileStatus, text);
}

int FunctionSave(ModuleSession& m)
{
    if (const int status = m.Link(); status != ExitDone) return status;
    CliDialogs& dialogs = m.GetDialogs();
    dialogs.file = m.Request().file;
    const std::size_t before = dialogs.shown.size();
    // The window's "Save FIle" right after linking: the same controls, the same bytes.
    SaveFunctionFile(m.Function(), dialogs);
    if (const int status = DialogFailure(m, before, ExitUsage); status != ExitDone) return status;
    const QString line = FormatFunctionFile(m.Function(), dialogs);
    QJsonObject json = m.Heading(QStringLiteral("function save"));
    json.insert(QStringLiteral("file"), m.Request().file);
    json.insert(QStringLiteral("line"), line);
    m.Out().Result(QStringLiteral("function saved to %1: %2").arg(m.Request().file, line), json);
    return ExitDone;
}

int FunctionLoad(ModuleSession& m)
{
    if (const int status = m.Link(); status != ExitDone) return status;
    CliDialogs& dialogs = m.GetDialogs();
    dialogs.file = m.Request().file;
    const std::size_t before = dialogs.shown.size();
    // "Load File", then "Write Device", on the window's controls as linking left them.
    LoadFunctionFile(m.Function(), dialogs);
    if (const int status = DialogFailure(m, before, ExitUsage); status != ExitDone) return status;
    SessionContext& context = m.Context();
    if (!BeginCommand(context, SetFunctionConfig)) return m.Say(ExitRefused, QStringLiteral("another exchange was running"));
    const std::size_t length = BuildFunctionRecord(m.Function(), context.commandFrame, dialogs);
    if (length == 0) return m.Say(ExitUsage, OffAboveOnText);
    if (const int status = m.Judge(m.Wiring().Transport().ExchangeCommand(length), SetFunctionConfig); status != ExitDone)
        return status;
    const QString line = FormatFunctionFile(m.Function(), dialogs);
    QJsonObject json = m.Heading(QStringLiteral("function load"));
    json.insert(QStringLiteral("file"), m.Request().file);
    json.insert(QStringLiteral("line"), line);
    m.Out().Result(QStringLiteral("function written from %1: %2").arg(m.Request().file, line), json);
    return ExitDone;
}

// ---- settings ----

int RequireSettingsRecord(ModuleSession& m)
{
    if (m.Session().deviceConfigRecordValid) return ExitDone;
    return m.Say(ExitRefused, QStringLiteral("the module's link record did not carry its whole settings record"));
}

int SettingsBackup(ModuleSession& m)
{
    if (const int status = m.Link(); status != ExitDone) return status;
    if (const int status = RequireSettingsRecord(m); status != ExitDone) return status;
    const DeviceConfigRecord& record = m.Session().deviceConfigRecord;
    const QString& path = m.Request().file;
    QSaveFile file(path);
    const auto size = static_cast<qint64>(record.size());
    if (!file.open(QIODevice::WriteOnly) || file.write(reinterpret_cast<const char*>(record.data()), size) != size ||
        !file.commit()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return m.Say(ExitUsage, QStringLiteral("cannot write %1: %2").arg(path, reason));
    }
    QJsonObject json = m.Heading(QStringLiteral("settings backup"));
    json.insert(QStringLiteral("file"), path);
    json.insert(QStringLiteral("bytes"), size);
    m.Out().Result(QStringLiteral("settings record of the module saved to %1 (%2 bytes)").arg(path, QString::number(size)), json);
    return ExitDone;
}

// A settings file as "settings restore" takes it: a regular file of exactly 256 bytes.
std::optional<QByteArray> ReadSettingsFile(const QString& path, QString& problem)
{
    if (!QFileInfo(path).isFile()) {
        problem = QStringLiteral("%1 is not a regular file").arg(path);
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        problem = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    const QByteArray bytes = file.read(static_cast<qint64>(DeviceConfigRecordSize) + 1);
    if (bytes.size() != static_cast<qsizetype>(DeviceConfigRecordSize)) {
        // One pass of arg(): a % in the file's name stays as it is.
        const bool longer = bytes.size() > static_cast<qsizetype>(DeviceConfigRecordSize);
        problem = QStringLiteral("%1 is no settings record: it holds %2 bytes, a settings record exactly %3")
                      .arg(path,
                           (longer ? QStringLiteral("more than ") : QString()) +
                               QString::number(std::min<qsizetype>(bytes.size(), DeviceConfigRecordSize)),
                           QString::number(DeviceConfigRecordSize));
        return std::nullopt;
    }
    return bytes;
}

bool Confirmed(ModuleSession& m, const QString& question)
{
    m.Out().Raw(QStringLiteral("zqb: %1 [y/N] ").arg(question));
    const std::optional<QString> answer = m.Out().GetTerminal().ReadLine();
    const QString word = answer ? answer->trimmed().toLower() : QString();
    return word == QLatin1String("y") || word == QLatin1String("yes");
}

int SettingsRestore(ModuleSession& m)
{
    const QString& path = m.Request().file;
    QString problem;
    const std::optional<QByteArray> bytes = ReadSettingsFile(path, problem);
    if (!bytes) return m.Say(ExitUsage, problem);
    if (!m.Request().yes && !m.Out().GetTerminal().InIsTerminal())
        return m.Say(ExitUsage, QStringLiteral("settings restore asks before writing; give --yes to write without asking"));
    // The record's layout is model 184's: Link refuses any other model.
    if (const int status = m.Link(); status != ExitDone) return status;
    if (!m.Request().yes) {
        const QString question = QStringLiteral("write %1 as the settings of the module at %2 (MAC %3, location \"%4\")?")
                                     .arg(path, m.ModuleText(), m.report->MacText(), PrintableText(m.Session().locationText));
        if (!Confirmed(m, question)) return m.Say(ExitUsage, QStringLiteral("nothing written"));
    }
    std::copy(bytes->begin(), bytes->end(), m.Context().TransferBuffer());
    if (const int status = m.JudgeTransfer(m.Transfer().SendFileToModule(SettingsFileName, DeviceConfigRecordSize));
        status != ExitDone)
        return status;
    QJsonObject json = m.Heading(QStringLiteral("settings restore"));
    json.insert(QStringLiteral("file"), path);
    json.insert(QStringLiteral("bytes"), static_cast<qint64>(DeviceConfigRecordSize));
    m.Out().Result(QStringLiteral("settings file written from %1; it takes effect when the module restarts").arg(path), json);
    return ExitDone;
}

int SettingsSet(ModuleSession& m)
{
    if (const int status = m.Link(); status != ExitDone) return status;
    if (const int status = RequireSettingsRecord(m); status != ExitDone) return status;
    QString error;
    const std::optional<SettingsPlan> plan = PlanSettings(m.Request().settings, m.Session(), error);
    if (!plan) return m.Say(ExitUsage, error);
    if (const int status = m.JudgeTransfer(SendConfigRecord(m.Wiring(), m.Transfer(), plan->record)); status != ExitDone)
        return status;
    if (plan->modbusChanged) {
        m.Services().pauses.Pause(SettingActions::ConfigWrittenPauseMs);
        if (const int status = m.JudgeDelivery(m.Actions().SendConfigWritten(), ConfigWritten); status != ExitDone)
            return m.Say(status, QStringLiteral("the settings file was stored, but telling the module so failed"));
    }
    QJsonObject json = m.Heading(QStringLiteral("settings set"));
    json.insert(QStringLiteral("settings"), plan->json);
    m.Out().Result(QStringLiteral("settings written: %1; they take effect when the module restarts")
                       .arg(plan->written.join(QStringLiteral(", "))),
                   json);
    return ExitDone;
}

// ---- the setup window's commands ----

int WebKey(ModuleSession& m)
{
    const TextCheck key = CheckText(m.Request().webKey);
    if (!key.bytes) return m.Say(ExitUsage, QStringLiteral("web-key: the module stores printable Latin-1 characters only"));
    if (!key.Fits(1, MaxWebLoginKeyBytes))
        return m.Say(ExitUsage, QStringLiteral("web-key must have 1 to %1 characters").arg(MaxWebLoginKeyBytes));
    if (const int status = m.Link(); status != ExitDone) return status;
    if (const int status = m.JudgeDelivery(m.Actions().SendWebKey(*key.bytes), SetWebKey); status != ExitDone) return status;
    m.Out().Result(QStringLiteral("web key written; it takes effect at once"), m.Heading(QStringLiteral("web-key")));
    return ExitDone;
}

int NeedsYes(ModuleSession& m, const QString& command)
{
    if (m.Request().yes) return ExitDone;
    return m.Say(ExitUsage, QStringLiteral("%1 restarts the module; give --yes to go ahead").arg(command));
}

int WifiMode(ModuleSession& m)
{
    if (const int status = NeedsYes(m, QStringLiteral("wifi-mode")); status != ExitDone) return status;
    if (const int status = m.Link(); status != ExitDone) return status;
    const bool ap = m.Request().accessPoint;
    if (const int status = m.JudgeDelivery(m.Actions().SendWifiMode(ap ? 2 : 0), SetWifiMode); status != ExitDone)
        return status;
    QJsonObject json = m.Heading(QStringLiteral("wifi-mode"));
    json.insert(QStringLiteral("wifiMode"), ap ? QStringLiteral("ap") : QStringLiteral("station"));
    m.Out().Result(QStringLiteral("Wi-Fi mode set to %1; the module restarts")
                       .arg(ap ? QStringLiteral("access point") : QStringLiteral("station")),
                   json);
    return ExitDone;
}

int ResetDefaults(ModuleSession& m)
{
    if (const int status = NeedsYes(m, QStringLiteral("reset-defaults")); status != ExitDone) return status;
    if (const int status = m.Link(); status != ExitDone) return status;
    if (const int status = m.JudgeDelivery(m.Actions().SendClearFlashConfig(), ClearFlashConfig); status != ExitDone)
        return status;
    m.Out().Result(QStringLiteral("stored settings cleared; the module restarts with its defaults"),
                   m.Heading(QStringLiteral("reset-defaults")));
    return ExitDone;
}

int Reboot(ModuleSession& m)
{
    if (const int status = NeedsYes(m, QStringLiteral("reboot")); status != ExitDone) return status;
    if (const int status = m.Link(); status != ExitDone) return status;
    if (const int status = m.JudgeDelivery(m.Actions().SendResetModule(), ResetModule); status != ExitDone) return status;
    m.Out().Result(QStringLiteral("restart sent; the module restarts"), m.Heading(QStringLiteral("reboot")));
    return ExitDone;
}

int Firmware(ModuleSession& m)
{
    if (const int status = m.Link(); status != ExitDone) return status;
    const FirmwareResult result = m.Firmware().UploadImageFile(m.Request().file);
    m.Progress().Finish();
    switch (result.step) {
    case FirmwareStep::FileRefused:
        return m.Say(ExitUsage, result.reason);
    case FirmwareStep::Cancelled:
    case FirmwareStep::NotAnnounced:
    case FirmwareStep::DataFailed:
    case FirmwareStep::ChecksumNotAsked:
        return m.Say(ExitUnreachable, result.reason.isEmpty() ? QStringLiteral("the image did not reach the module") : result.reason);
    case FirmwareStep::LegacySent:
        return m.Say(ExitRefused, QStringLiteral("the image went out the old way, without a checksum verdict"));
    case FirmwareStep::ChecksumAsked:
        break;
    }
    // The verdict comes with the checksum reply, or with one of its re-issues on the window's
    // 100 ms timer, or as the give-up after the last of them.
    CliDisplay& display = m.Display();
    DeviceSession& s = m.Session();
    for (int tick = 0; display.verdicts.empty() && s.replyOverdue == 1 && tick < 100000; ++tick) {
        QThread::msleep(static_cast<unsigned long>(m.Services().firmwareTickMs));
        m.Wiring().Replies().OverdueTick();
    }
    if (display.verdicts.empty())
        return m.Say(ExitRefused, QStringLiteral("no checksum verdict: %1").arg(display.Message()));
    const CliDisplay::Verdict& verdict = display.verdicts.back();
    if (!verdict.sumsEqual) {
        if (display.PanelText(StatusPanel::Message) == RetryTimeoutText)
            return m.Say(ExitRefused, QStringLiteral("the module never answered the checksum request: %1").arg(verdict.text));
        return m.Say(ExitRefused, QStringLiteral("the module's checksum differs from the image's: %1").arg(verdict.text));
    }
    QJsonObject json = m.Heading(QStringLiteral("firmware"));
    json.insert(QStringLiteral("file"), m.Request().file);
    json.insert(QStringLiteral("checksum"), QStringLiteral("%1").arg(m.Context().imageSum, 8, 16, QLatin1Char('0')).toUpper());
    json.insert(QStringLiteral("verdict"), verdict.text);
    m.Out().Result(QStringLiteral("firmware image %1 sent and checked: %2").arg(m.Request().file, verdict.text), json);
    return ExitDone;
}

}  // namespace

int RunModuleCommand(const Invocation& invocation, CliServices& services, Output& output)
{
    ModuleLock lock(services.lockDirectory, invocation.moduleAddress, invocation.modulePort);
    if (!lock.TryLock()) {
        output.Message(QStringLiteral("%1:%2: %3").arg(invocation.moduleAddress).arg(invocation.modulePort).arg(lock.Reason()));
        return ExitRefused;
    }
    ModuleSession m(invocation, services, output);
    switch (invocation.command) {
    case Command::Status: return Status(m);
    case Command::Watch: return Watch(m);
    case Command::SetDo: return SetDoCommand(m);
    case Command::SetAnalog: return SetAnalogCommand(m);
    case Command::SetRange: return SetRangeCommand(m);
    case Command::Locate: return LocateCommand(m);
    case Command::Counters: return CountersCommand(m);
    case Command::FunctionShow: return FunctionShow(m);
    case Command::FunctionSave: return FunctionSave(m);
    case Command::FunctionLoad: return FunctionLoad(m);
    case Command::SettingsBackup: return SettingsBackup(m);
    case Command::SettingsRestore: return SettingsRestore(m);
    case Command::SettingsSet: return SettingsSet(m);
    case Command::WebKey: return WebKey(m);
    case Command::WifiMode: return WifiMode(m);
    case Command::ResetDefaults: return ResetDefaults(m);
    case Command::Reboot: return Reboot(m);
    case Command::Firmware: return Firmware(m);
    case Command::Help:
    case Command::Version:
    case Command::Scan:
        break;
    }
    return ExitUsage;
}

}  // namespace zqb::cli
