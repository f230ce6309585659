#pragma once

#include <cstdint>

#include <QString>

#include "platform/Dialogs.h"
#include "transfer/FileTransfer.h"

namespace zqb {

inline constexpr std::uint32_t MaxImageBytes = 2097152;
inline const QString ImageFilter = QStringLiteral("bin|*.bin");
inline const QString ImageTooLargeText = QStringLiteral("File Lengths > Buffer Size, Abort!");

// The firmware update: the image file chosen in OpenDialog2, announced, sent on its own
// connection, and checked against the module's byte sum.
//
// Its outcome says how far the upload got: delivered once the image went out whole and the
// module was asked for its sum (command 37), or told the sum the old way (command 38, a module
// of unknown model, which gives no verdict). The verdict itself comes later, through reply
// handling, into SessionContext::imageVerdict. From the announcement to that verdict the module
// is held exclusively.
class FirmwareUpload {
public:
    FirmwareUpload(SessionContext& context, CommandTransport& transport, DeviceDisplay& display, Dialogs& dialogs,
                   Pauses& pauses, FileTransfer& transfer);

    // The caller has run PrepareLink. Declined when the file dialog is cancelled.
    Outcome UploadFirmwareImage();
    // The same, with the file already chosen (the command-line program names it), by the bytes
    // of its name as the file system has them.
    Outcome UploadImageFile(const QByteArray& path);

    static constexpr int PauseBeforeDataMs = 3000;
    static constexpr int LegacyPauseBeforeDataMs = 1000;
    static constexpr int PauseAfterDataMs = 2000;

private:
    Outcome Give(const Outcome& outcome);

    SessionContext& context_;
    CommandTransport& transport_;
    DeviceDisplay& display_;
    Dialogs& dialogs_;
    Pauses& pauses_;
    FileTransfer& transfer_;
};

}  // namespace zqb
