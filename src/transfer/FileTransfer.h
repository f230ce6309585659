#pragma once

#include <cstdint>

#include <QByteArray>
#include <QString>

#include "platform/Pauses.h"
#include "protocol/CommandTransport.h"
#include "protocol/DeviceDisplay.h"
#include "protocol/Outcome.h"
#include "protocol/SessionContext.h"
#include "transfer/TransferProgress.h"

namespace zqb {

inline constexpr std::size_t MaxFileNameBytes = 43;  // what the 60-byte announcement holds

// Writes a file into the module's flash: an announcement, then the raw bytes on a second
// connection of their own. The module takes the next connection after an announcement as the
// file's data, whoever opens it; so from the announcement to the end of the data this program
// holds ExchangeBusy (no timer or click of its own opens a connection) and the module's lock
// exclusively (no other program on the PC does).
class FileTransfer {
public:
    FileTransfer(SessionContext& context, CommandTransport& transport, DeviceDisplay& display, Pauses& pauses,
                 TransferProgress& progress);

    // `length` bytes already at the start of TransferBuffer go out under `name`. Delivered only
    // when the module was told of the file and took all of it.
    Outcome SendFileToModule(const QByteArray& name, std::uint32_t length);

    // The data phase shared with the firmware upload: pause, connect, chunks, close. Gauge
    // positions are the end of each chunk, or (firmware) its start. `code` is the announcement's.
    enum class GaugeAt { ChunkEnd, ChunkStart };
    Outcome SendData(std::uint8_t code, std::uint32_t length, int pauseMs, GaugeAt gaugeAt);

    TransferProgress& Progress() { return progress_; }

    static constexpr int ChunkBytes = 1024;
    static constexpr std::uint32_t RepaintEvery = 65536;
    static constexpr int FilePauseMs = 1500;

private:
    SessionContext& context_;
    CommandTransport& transport_;
    DeviceDisplay& display_;
    Pauses& pauses_;
    TransferProgress& progress_;
};

// The byte sum of files and images: every byte as an unsigned 8-bit value, in 64 bits.
std::uint64_t ByteSum(const std::uint8_t* bytes, std::size_t length);

// The gauge's scale for a transfer of `length` bytes: full when the last chunk starts.
std::uint32_t GaugeMaximum(std::uint32_t length);

inline const QString FileWriteRefusedText = QStringLiteral("File write refused");
inline const QString TransferCutShortText = QStringLiteral("Transfer cut short");

}  // namespace zqb
