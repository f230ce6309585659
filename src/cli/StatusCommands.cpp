#include <QDateTime>
#include <QJsonArray>

#include "cli/CommandGroups.h"
#include "cli/LinkReport.h"
#include "protocol/AnsiText.h"
#include "protocol/CommandBuilders.h"
#include "protocol/CommandCodes.h"
#include "protocol/Ipv4Text.h"
#include "protocol/ModuleReadings.h"
#include "setup/SettingRules.h"

namespace zqb::cli {

namespace {

QString StationKeyName(std::uint8_t type)
{
    return type == 0 ? QStringLiteral("open") : type == 1 ? QStringLiteral("wep") : QStringLiteral("wpa");
}

struct IoState {
    bool di0 = false;
    bool di1 = false;
    bool out = false;
    std::int32_t dac = 0;
    bool fourToTwenty = false;
    friend bool operator==(const IoState&, const IoState&) = default;
};

IoState IoStateOf(const IoBits& bits, std::int32_t dacCode, bool fourToTwenty)
{
    return {(bits.diBits & 1) != 0, (bits.diBits & 2) != 0, (bits.doBits & 1) != 0, ShownCode(dacCode), fourToTwenty};
}

void InsertAll(QJsonObject& into, const QJsonObject& from)
{
    for (auto it = from.begin(); it != from.end(); ++it) into.insert(it.key(), it.value());
}

}  // namespace

int Status(ModuleSession& m)
{
    if (const Outcome linked = m.Link(); !linked.Ok()) return m.Finish(linked);
    const LinkRecord& r = *m.record;
    const IoState io = IoStateOf({r.doBits, r.diBits}, r.dacCode, r.fourToTwenty);
    const QString fixed = r.staticIpInUse ? QStringLiteral("%1 mask %2 gateway %3")
                                                .arg(DottedText(r.staticIp), DottedText(r.staticMask), DottedText(r.staticGateway))
                                          : QStringLiteral("off");
    const QStringList lines = {
        QStringLiteral("module: %1").arg(m.ModuleText()),
        QStringLiteral("model: %1 (%2)").arg(r.ModelName()).arg(r.model),
        QStringLiteral("firmware: %1").arg(r.FirmwareText()),
        QStringLiteral("MAC: %1").arg(r.MacText()),
        QStringLiteral("address: %1").arg(r.AddressText()),
        QStringLiteral("signal: %1").arg(r.SignalDbm() ? QStringLiteral("%1 dBm").arg(*r.SignalDbm()) : QStringLiteral("not reported")),
        QStringLiteral("location: %1").arg(PrintableText(r.location)),
        QStringLiteral("DI: DI0 %1, DI1 %2").arg(OnOff(io.di0), OnOff(io.di1)),
        QStringLiteral("DO: %1").arg(OnOff(io.out)),
        QStringLiteral("DAC: %1").arg(DacText(io.dac)),
        QStringLiteral("range: %1 mA").arg(RangeName(io.fourToTwenty)),
        QStringLiteral("Wi-Fi mode: %1").arg(r.accessPoint ? QStringLiteral("access point") : QStringLiteral("station")),
        QStringLiteral("AP: SSID %1, %2").arg(PrintableText(r.apSsid), r.apSecurity ? QStringLiteral("WPA/WPA2") : QStringLiteral("OPEN")),
        QStringLiteral("station: SSID %1, %2").arg(PrintableText(r.staSsid), KeyTypeName(r.staKeyType)),
        QStringLiteral("Modbus: port %1, idle time-out %2 s").arg(r.modbusPort).arg(r.modbusIdleTimeout),
        QStringLiteral("fixed address: %1").arg(fixed),
    };
    QJsonObject json = m.Heading(QStringLiteral("status"));
    InsertAll(json, IdentityJson(r));
    json.insert(QStringLiteral("location"), FromAnsi(r.location));
    json.insert(QStringLiteral("signalDbm"), r.SignalDbm() ? QJsonValue(*r.SignalDbm()) : QJsonValue());
    json.insert(QStringLiteral("di"), QJsonArray{io.di0, io.di1});
    json.insert(QStringLiteral("do"), io.out);
    InsertAll(json, DacJson(io.dac));
    json.insert(QStringLiteral("range"), RangeName(io.fourToTwenty));
    json.insert(QStringLiteral("wifiMode"), r.accessPoint ? QStringLiteral("ap") : QStringLiteral("station"));
    json.insert(QStringLiteral("apSsid"), FromAnsi(r.apSsid));
    json.insert(QStringLiteral("apKeyType"), r.apSecurity ? QStringLiteral("wpa") : QStringLiteral("open"));
    json.insert(QStringLiteral("staSsid"), FromAnsi(r.staSsid));
    json.insert(QStringLiteral("staKeyType"), StationKeyName(r.staKeyType));
    json.insert(QStringLiteral("modbusPort"), r.modbusPort);
    json.insert(QStringLiteral("modbusIdleTimeout"), r.modbusIdleTimeout);
    json.insert(QStringLiteral("staticIp"), r.staticIpInUse ? QJsonValue(QJsonObject{
                                                                 {QStringLiteral("address"), DottedText(r.staticIp)},
                                                                 {QStringLiteral("mask"), DottedText(r.staticMask)},
                                                                 {QStringLiteral("gateway"), DottedText(r.staticGateway)},
                                                             })
                                                           : QJsonValue());
    m.Out().Result(lines.join(QLatin1Char('\n')), json);
    return ExitDone;
}

int Watch(ModuleSession& m)
{
    if (const Outcome linked = m.Link(); !linked.Ok()) return m.Finish(linked);
    const Invocation& request = m.Request();
    std::optional<IoState> shown;
    for (int poll = 0; !request.watchCount || poll < *request.watchCount; ++poll) {
        if (poll > 0 && !Wait(request.watchIntervalMs, m.Services().stop)) break;
        if (m.Services().stop && *m.Services().stop) break;
        const Result<IoReading> polled = ReadIoStatus(m.Context(), m.Wiring().Transport());
        if (!polled.Ok()) return m.Finish(polled.outcome);
        const IoState now = IoStateOf(polled.value.bits, polled.value.dacCode, polled.value.fourToTwenty);
        if (shown && *shown == now) continue;
        shown = now;
        const QString time = QDateTime::currentDateTime().toString(Qt::ISODateWithMs);
        QJsonObject json = m.Heading(QStringLiteral("watch"));
        json.insert(QStringLiteral("time"), time);
        json.insert(QStringLiteral("di"), QJsonArray{now.di0, now.di1});
        json.insert(QStringLiteral("do"), now.out);
        InsertAll(json, DacJson(now.dac));
        json.insert(QStringLiteral("range"), RangeName(now.fourToTwenty));
        m.Out().Result(QStringLiteral("%1  DI0 %2  DI1 %3  DO %4  DAC %5  range %6 mA")
                           .arg(time, OnOff(now.di0), OnOff(now.di1), OnOff(now.out), DacText(now.dac), RangeName(now.fourToTwenty)),
                       json);
    }
    return ExitDone;
}

}  // namespace zqb::cli
