#include "SettingsFile.h"

#include <algorithm>

namespace zqb {

TransferResult SendConfigRecord(ModuleLink& link, FileTransfer& transfer)
{
    DeviceSession& s = link.Session();
    if (!s.deviceConfigRecordValid) return {TransferStep::BadRequest, SettingsNotReadText};
    std::copy(s.deviceConfigRecord.begin(), s.deviceConfigRecord.end(), link.Context().TransferBuffer());
    return transfer.SendFileToModule(SettingsFileName, DeviceConfigRecordSize);
}

}  // namespace zqb
