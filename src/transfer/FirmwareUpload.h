#pragma once

#include <cstdint>

#include <QString>

#include "transfer/FileTransfer.h"

namespace zqb {

// How far a firmware update got. The module's verdict on the image comes later, through reply
// handling (the checksum reply, or its re-issues under the transfer timer).
enum class FirmwareStep {
    Cancelled,        // the file dialog was cancelled: nothing happened
    FileRefused,      // the file is not an image that can be sent; nothing was sent
    NotAnnounced,     // the announcement did not reach the module
    DataFailed,       // the image did not reach the module whole
    ChecksumAsked,    // all sent; the module was asked for its sum (verdict shown by reply handling)
    ChecksumNotAsked, // all sent, but the request for the module's sum did not go out
    LegacySent,       // all sent to a module of unknown model, with the sum announced after it
};

struct FirmwareResult {
    FirmwareStep step = FirmwareStep::Cancelled;
    QString reason;
};

inline constexpr std::uint32_t MaxImageBytes = 2097152;
inline const QString ImageFilter = QStringLiteral("bin|*.bin");
inline const QString ImageTooLargeText = QStringLiteral("File Lengths > Buffer Size, Abort!");

// The firmware update: the image file chosen in OpenDialog2, announced, sent on its own
// connection, and checked against the module's byte sum.
class FirmwareUpload {
public:
    FirmwareUpload(ModuleLink& link, FileTransfer& transfer);

    // The caller has run PrepareLink.
    FirmwareResult UploadFirmwareImage();
    // The same, with the file already chosen (the command-line program names it).
    FirmwareResult UploadImageFile(const QString& path);

    static constexpr int PauseBeforeDataMs = 3000;
    static constexpr int LegacyPauseBeforeDataMs = 1000;
    static constexpr int PauseAfterDataMs = 2000;

private:
    FirmwareResult Refuse(const QString& text);
    bool ReadImage(const QString& path, std::uint32_t& length, QString& problem);

    ModuleLink& link_;
    FileTransfer& transfer_;
};

}  // namespace zqb
