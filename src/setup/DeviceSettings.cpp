#include "setup/DeviceSettings.h"

#include <algorithm>

#include "protocol/CommandBuilders.h"
#include "protocol/CommandCodes.h"
#include "protocol/CommandSenders.h"
#include "setup/ConfigRecordPatch.h"
#include "setup/SettingsFile.h"

namespace zqb {

DeviceSettings::DeviceSettings(SessionContext& context, CommandTransport& transport, LinkGate& link,
                               FileTransfer& transfer, Pauses& pauses)
    : context_(context), transport_(transport), link_(link), transfer_(transfer), pauses_(pauses)
{
}

Outcome DeviceSettings::SendFile(const DeviceConfigRecord& record)
{
    std::copy(record.begin(), record.end(), context_.TransferBuffer());
    return transfer_.SendFileToModule(SettingsFileName, DeviceConfigRecordSize);
}

Outcome DeviceSettings::WriteRecord(const DeviceConfigRecord& patched)
{
    DeviceSession& s = context_.session;
    if (!s.deviceConfigRecordValid) return Outcome::NotRead(QStringLiteral("the module's settings"));
    if (const Outcome network = link_.CheckNetwork(); !network.Ok()) return network;
    const Outcome sent = SendFile(patched);
    if (sent.Ok()) s.deviceConfigRecord = patched;
    return sent;
}

Outcome DeviceSettings::RestoreRecord(const DeviceConfigRecord& bytes)
{
    if (const Outcome checked = CheckSettingsRecord(bytes); !checked.Ok()) return checked;
    if (const Outcome network = link_.CheckNetwork(); !network.Ok()) return network;
    return SendFile(bytes);
}

Outcome DeviceSettings::SendWebKey(const QByteArray& key)
{
    lastWebKey_ = key;
    if (const Outcome network = link_.CheckNetwork(); !network.Ok()) return network;
    return transport_.Exchange(SetWebKey, [&key](CommandFrame& f) { return BuildSetWebKey(f, key); });
}

Outcome DeviceSettings::SendConfigWritten()
{
    if (const Outcome network = link_.CheckNetwork(); !network.Ok()) return network;
    return transport_.Exchange(ConfigWritten, [](CommandFrame& f) { return BuildConfigWritten(f); });
}

Outcome DeviceSettings::SendWifiMode(std::uint8_t mode)
{
    if (const Outcome network = link_.CheckNetwork(); !network.Ok()) return network;
    context_.session.retryCount = 0;
    const Outcome sent = transport_.Exchange(SetWifiMode, [mode](CommandFrame& f) { return BuildSetWifiMode(f, mode); });
    if (sent.Ok()) PatchWifiMode(context_.session.deviceConfigRecord, mode);
    return sent;
}

Outcome DeviceSettings::SendClearFlashConfig()
{
    if (const Outcome network = link_.CheckNetwork(); !network.Ok()) return network;
    const Outcome sent = transport_.Exchange(ClearFlashConfig, [](CommandFrame& f) { return BuildClearFlashConfig(f); });
    // Whatever the module made of it, the copy may no longer be its settings: only a fresh whole
    // link record makes it so again.
    if (!sent.NothingSent()) context_.session.deviceConfigRecordValid = 0;
    return sent;
}

Outcome DeviceSettings::SendResetModule()
{
    if (const Outcome network = link_.CheckNetwork(); !network.Ok()) return network;
    return zqb::SendResetModule(context_, transport_);
}

}  // namespace zqb
