#pragma once

#include "transfer/FileTransfer.h"
#include "link/ModuleLink.h"

namespace zqb {

inline const QByteArray SettingsFileName = "/local/syscfg.cfg";

// Writes DeviceConfigRecord whole to the module as its settings file. Refused, with nothing
// sent, while the record is not the module's own (no whole link record since the start or since
// a reset to defaults): it would overwrite every setting with zeros or with old values.
TransferResult SendConfigRecord(ModuleLink& link, FileTransfer& transfer);
// The same for a patched copy of the record, which becomes the record only once it has been
// delivered: a patch the user was told had failed must not ride along with a later write.
TransferResult SendConfigRecord(ModuleLink& link, FileTransfer& transfer, const DeviceConfigRecord& patched);

inline const QString SettingsNotReadText =
    QStringLiteral("the module's settings have not been read since it started or was reset; link it again first");

}  // namespace zqb
