#pragma once

#include <cstdint>

#include <QByteArray>

#include "platform/Pauses.h"
#include "protocol/CommandTransport.h"
#include "protocol/LinkGate.h"
#include "protocol/Outcome.h"
#include "protocol/SessionContext.h"
#include "transfer/FileTransfer.h"

namespace zqb {

// The module's settings without any window: the settings file and the setup commands, each
// after a check of the network, each with its typed outcome. The setup window, zqb and the bridge
// send every setting through here.
class DeviceSettings {
public:
    DeviceSettings(SessionContext& context, CommandTransport& transport, LinkGate& link, FileTransfer& transfer,
                   Pauses& pauses);

    // A patched copy of the session's settings record, written as the module's settings file.
    // Refused, with nothing sent, while the session's record is not the module's own (no whole
    // link record since the start, or since a reset to defaults went out): it would overwrite
    // every other setting with zeros or old values. The copy becomes the session's record only
    // once delivered, so a patch the user was told had failed never rides along with a later one.
    Outcome WriteRecord(const DeviceConfigRecord& patched);
    // Bytes from a file (a backup) as the settings file: checked against the record's rules first.
    Outcome RestoreRecord(const DeviceConfigRecord& bytes);

    Outcome SendWebKey(const QByteArray& key);
    // The web key last handed to SendWebKey: the module never reports it, and a diagnostics
    // report must still know it to keep it out.
    const QByteArray& LastWebKey() const { return lastWebKey_; }
    Outcome SendConfigWritten();
    // The session's record takes the new mode once the module took the command.
    Outcome SendWifiMode(std::uint8_t mode);
    // Once any of the frame went out, the session's record is no longer the module's own.
    Outcome SendClearFlashConfig();
    Outcome SendResetModule();
    // The network check every setting makes first.
    Outcome CheckNetwork() { return link_.CheckNetwork(); }

    static constexpr int ConfigWrittenPauseMs = 300;

private:
    Outcome SendFile(const DeviceConfigRecord& record);

    SessionContext& context_;
    CommandTransport& transport_;
    LinkGate& link_;
    FileTransfer& transfer_;
    Pauses& pauses_;
    QByteArray lastWebKey_;
};

}  // namespace zqb
