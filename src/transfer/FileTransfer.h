#pragma once

#include <cstdint>

#include <QByteArray>
#include <QString>

#include "link/ModuleLink.h"
#include "platform/Pauses.h"
#include "transfer/TransferProgress.h"

namespace zqb {

// How far a file write got. Only Sent means the module was told of the file and took all of it.
enum class TransferStep {
    Sent,
    BadRequest,         // a name or length the announcement cannot carry; nothing was sent
    NotAnnounced,       // busy, no connection, or the module refused the announcement
    DataNotConnected,   // announced, but the data connection did not open
    DataCutShort,       // the data connection broke or the module stopped reading
};

struct TransferResult {
    TransferStep step = TransferStep::Sent;
    QString reason;  // what went wrong, for the user; empty when sent
    bool Sent() const { return step == TransferStep::Sent; }
};

inline constexpr std::size_t MaxFileNameBytes = 43;  // what the 60-byte announcement holds

// Writes a file into the module's flash: an announcement, then the raw bytes on a second
// connection of their own. While the data goes out the transfer holds ExchangeBusy, so no
// timer or click opens a command connection that the module would take as the data.
class FileTransfer {
public:
    FileTransfer(ModuleLink& link, TransferProgress& progress);

    // `length` bytes already at the start of TransferBuffer go out under `name`.
    TransferResult SendFileToModule(const QByteArray& name, std::uint32_t length);

    // The data phase shared with the firmware upload: pause, connect, chunks, close. Gauge
    // positions are the end of each chunk, or (firmware) its start.
    enum class GaugeAt { ChunkEnd, ChunkStart };
    TransferResult SendData(std::uint32_t length, int pauseMs, GaugeAt gaugeAt);

    TransferProgress& Progress() { return progress_; }

    static constexpr int ChunkBytes = 1024;
    static constexpr std::uint32_t RepaintEvery = 65536;
    static constexpr int FilePauseMs = 1500;

private:
    ModuleLink& link_;
    TransferProgress& progress_;
};

// The byte sum of files and images: every byte as an unsigned 8-bit value, in 64 bits.
std::uint64_t ByteSum(const std::uint8_t* bytes, std::size_t length);

// The gauge's scale for a transfer of `length` bytes: full when the last chunk starts.
std::uint32_t GaugeMaximum(std::uint32_t length);

}  // namespace zqb
