#include "setup/SettingsFile.h"

#include <algorithm>

namespace zqb {

TransferResult SendConfigRecord(ModuleLink& link, FileTransfer& transfer)
{
    return SendConfigRecord(link, transfer, link.Session().deviceConfigRecord);
}

TransferResult SendConfigRecord(ModuleLink& link, FileTransfer& transfer, const DeviceConfigRecord& patched)
{
    DeviceSession& s = link.Session();
    if (!s.deviceConfigRecordValid) return {TransferStep::BadRequest, SettingsNotReadText};
    std::copy(patched.begin(), patched.end(), link.Context().TransferBuffer());
    const TransferResult result = transfer.SendFileToModule(SettingsFileName, DeviceConfigRecordSize);
    if (result.Sent()) s.deviceConfigRecord = patched;
    return result;
}

}  // namespace zqb
