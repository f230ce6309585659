#include "transfer/FileTransfer.h"

#include <algorithm>

#include "protocol/AnsiText.h"
#include "protocol/BlockingSocket.h"
#include "protocol/CommandBuilders.h"
#include "protocol/CommandCodes.h"
#include "protocol/CommandSenders.h"

namespace zqb {

namespace {

// How long the module may take to close the data connection once it has every byte.
constexpr int DataCloseWaitMs = 3000;

TransferResult NotAnnounced(const ExchangeResult& announced, const SessionContext& context);

}  // namespace

std::uint64_t ByteSum(const std::uint8_t* bytes, std::size_t length)
{
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i < length; ++i) sum += bytes[i];
    return sum;
}

std::uint32_t GaugeMaximum(std::uint32_t length)
{
    // The last chunk's start: the gauge is full when the last chunk begins. A file of one chunk
    // or less has no such start, so its whole length is the scale.
    return length > static_cast<std::uint32_t>(FileTransfer::ChunkBytes) ? length - FileTransfer::ChunkBytes : length;
}

namespace {

TransferResult NotAnnounced(const ExchangeResult& announced, const SessionContext& context)
{
    using Kind = ExchangeResult::Kind;
    switch (announced.kind) {
    case Kind::Dropped: return {TransferStep::NotAnnounced, QStringLiteral("another exchange with the module was running")};
    case Kind::NotConnected: return {TransferStep::NotAnnounced, QStringLiteral("the module did not accept a connection")};
    case Kind::ConnectionLost: return {TransferStep::NotAnnounced, QStringLiteral("the connection broke while announcing the file")};
    default: break;
    }
    const ReplyBuffer& reply = context.replyBuffer;
    if (!std::equal(FrameMagic.begin(), FrameMagic.end(), reply.begin()))
        return {TransferStep::NotAnnounced, QStringLiteral("the module answered the announcement with an invalid reply")};
    return {TransferStep::NotAnnounced,
            QStringLiteral("the module refused the file (status %1)").arg(reply[StatusOffset])};
}

}  // namespace

FileTransfer::FileTransfer(ModuleLink& link, TransferProgress& progress) : link_(link), progress_(progress) {}

TransferResult FileTransfer::SendFileToModule(const QByteArray& name, std::uint32_t length)
{
    SessionContext& context = link_.Context();
    DeviceDisplay& display = link_.Display();
    // A cut name would write another file; nothing goes out that the frame cannot carry.
    if (name.isEmpty() || static_cast<std::size_t>(name.size()) > MaxFileNameBytes)
        return {TransferStep::BadRequest, QStringLiteral("a file name must have 1 to 43 bytes")};
    if (length > TransferBufferSize) return {TransferStep::BadRequest, QStringLiteral("the file is too large")};
    // The running exchange owns the frame and its command in flight.
    if (context.ExchangeBusy) return NotAnnounced({ExchangeResult::Kind::Dropped}, context);

    const std::uint64_t sum = ByteSum(context.TransferBuffer(), length);
    const std::size_t frameLength = BuildFileAnnouncement(context.commandFrame, BeginFileWrite, FileAnnouncementLength,
                                                          length, static_cast<std::uint32_t>(sum), name);
    display.SetPanelText(StatusPanel::Message, QStringLiteral("Send FileName: ") + PrintableText(name));
    context.session.commandInFlight = 0;
    const ExchangeResult announced = link_.Transport().ExchangeCommand(frameLength);
    // A silent module leaves the reply overdue; there is nothing to re-issue for an announcement.
    context.session.replyOverdue = 0;
    // No reply is tolerated; anything else but a delivered frame, or an acknowledged reply, stops
    // the transfer here: raw bytes on a fresh connection would be read as a command.
    const bool announcedWell = announced.kind == ExchangeResult::Kind::NoReply || ReplyAcknowledged(context, announced);
    if (!announcedWell) {
        const TransferResult result = NotAnnounced(announced, context);
        if (announced.Replied()) ReportOutcome(display, QStringLiteral("File write refused"), result.reason);
        return result;
    }

    progress_.Begin(GaugeMaximum(length));
    display.SetPanelText(StatusPanel::Message, QStringLiteral("Transfer Length => %1").arg(length));
    return SendData(length, FilePauseMs, GaugeAt::ChunkEnd);
}

TransferResult FileTransfer::SendData(std::uint32_t length, int pauseMs, GaugeAt gaugeAt)
{
    SessionContext& context = link_.Context();
    // From here to the close of the data connection no command may open a connection of its
    // own: the module would take it for the data.
    BusyScope busy(context);
    link_.GetPauses().Pause(pauseMs);

    BlockingSocket socket;
    socket.SetUnbuffered();
    if (!link_.Transport().ConnectToModule(socket))
        return {TransferStep::DataNotConnected, QStringLiteral("the data connection did not open")};
    const std::uint8_t* data = context.TransferBuffer();
    for (std::uint32_t offset = 0; offset < length; offset += ChunkBytes) {
        const std::uint32_t n = std::min<std::uint32_t>(ChunkBytes, length - offset);
        std::copy_n(data + offset, n, context.commandFrame.begin());
        if (!socket.Write(context.commandFrame.data(), n)) {
            const QString reason = QStringLiteral("the data connection broke after %1 of %2 bytes (%3)")
                                       .arg(offset)
                                       .arg(length)
                                       .arg(socket.ErrorText());
            socket.Close();
            ReportOutcome(link_.Display(), QStringLiteral("Transfer cut short"), reason);
            return {TransferStep::DataCutShort, reason};
        }
        progress_.SetPosition(gaugeAt == GaugeAt::ChunkEnd ? offset + n : offset);
        if (offset % RepaintEvery == 0) progress_.Repaint();
    }
    // Gauged by chunk starts, a one-chunk file would never show full.
    if (gaugeAt == GaugeAt::ChunkStart) progress_.SetPosition(GaugeMaximum(length));
    if (!socket.FinishSending(DataCloseWaitMs)) {
        const QString reason = QStringLiteral("the module closed the data connection before taking all %1 bytes").arg(length);
        ReportOutcome(link_.Display(), QStringLiteral("Transfer cut short"), reason);
        return {TransferStep::DataCutShort, reason};
    }
    return {};
}

}  // namespace zqb
