#include "transfer/FileTransfer.h"

#include <algorithm>

#include "protocol/AnsiText.h"
#include "protocol/BlockingSocket.h"
#include "protocol/CommandBuilders.h"
#include "protocol/CommandCodes.h"

namespace zqb {

namespace {

// How long the module may take to close the data connection once it has every byte.
constexpr int DataCloseWaitMs = 3000;

// Frees the module for other programs on every way out of a plain file write.
class ExclusiveScope {
public:
    explicit ExclusiveScope(CommandTransport& transport) : transport_(transport) {}
    ~ExclusiveScope() { transport_.ReleaseExclusive(); }
    ExclusiveScope(const ExclusiveScope&) = delete;
    ExclusiveScope& operator=(const ExclusiveScope&) = delete;

private:
    CommandTransport& transport_;
};

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

FileTransfer::FileTransfer(SessionContext& context, CommandTransport& transport, DeviceDisplay& display, Pauses& pauses,
                           TransferProgress& progress)
    : context_(context), transport_(transport), display_(display), pauses_(pauses), progress_(progress)
{
}

Outcome FileTransfer::SendFileToModule(const QByteArray& name, std::uint32_t length)
{
    // A cut name would write another file; nothing goes out that the frame cannot carry.
    if (name.isEmpty() || static_cast<std::size_t>(name.size()) > MaxFileNameBytes)
        return Outcome::BadInput(QStringLiteral("file name"), QStringLiteral("a file name must have 1 to 43 bytes"));
    if (length > TransferBufferSize) return Outcome::BadInput(QStringLiteral("file"), QStringLiteral("the file is too large"));
    // The running exchange owns the frame and its command in flight.
    if (context_.ExchangeBusy) return transport_.Verdict(BeginFileWrite, {ExchangeResult::Kind::Dropped});
    if (!transport_.HoldExclusively(CommandTransport::ExclusiveWaitMs)) {
        display_.SetPanelText(StatusPanel::Message, ModuleInUseText);
        return transport_.Verdict(BeginFileWrite, {ExchangeResult::Kind::HeldElsewhere});
    }
    ExclusiveScope exclusive(transport_);

    const std::uint64_t sum = ByteSum(context_.TransferBuffer(), length);
    const std::size_t frameLength = BuildFileAnnouncement(context_.commandFrame, BeginFileWrite, FileAnnouncementLength,
                                                          length, static_cast<std::uint32_t>(sum), name);
    display_.SetPanelText(StatusPanel::Message, QStringLiteral("Send FileName: ") + PrintableText(name));
    context_.session.commandInFlight = 0;
    const ExchangeResult announced = transport_.ExchangeCommand(frameLength);
    // A silent module leaves the reply overdue; there is nothing to re-issue for an announcement.
    context_.session.replyOverdue = 0;
    // No reply is tolerated; anything else but a delivered frame, or an acknowledged reply, stops
    // the transfer here: raw bytes on a fresh connection would be read as a command.
    const Outcome verdict = transport_.Verdict(BeginFileWrite, announced);
    if (!verdict.Ok()) {
        if (announced.Replied()) ReportOutcome(display_, FileWriteRefusedText, DescribeOutcome(verdict));
        return verdict;
    }

    progress_.Begin(GaugeMaximum(length));
    display_.SetPanelText(StatusPanel::Message, QStringLiteral("Transfer Length => %1").arg(length));
    return SendData(BeginFileWrite, length, FilePauseMs, GaugeAt::ChunkEnd);
}

Outcome FileTransfer::SendData(std::uint8_t code, std::uint32_t length, int pauseMs, GaugeAt gaugeAt)
{
    // From here to the close of the data connection no command may open a connection of its
    // own: the module would take it for the data.
    BusyScope busy(context_);
    pauses_.Pause(pauseMs);

    BlockingSocket socket;
    socket.SetUnbuffered();
    if (const auto failed = transport_.ConnectToModule(socket)) {
        const Outcome outcome = transport_.Verdict(code, {*failed, 0, 0, socket.ErrorText()});
        return outcome;
    }
    socket.KeepOwnDescriptor();
    const std::uint8_t* data = context_.TransferBuffer();
    for (std::uint32_t offset = 0; offset < length; offset += ChunkBytes) {
        const std::uint32_t n = std::min<std::uint32_t>(ChunkBytes, length - offset);
        std::copy_n(data + offset, n, context_.commandFrame.begin());
        if (!socket.Write(context_.commandFrame.data(), n)) {
            // A module that took every byte may reset the connection before the last write
            // returned: only bytes it never acknowledged make the transfer fall short.
            const std::optional<std::uint64_t> acknowledged = socket.BytesAcknowledged();
            if (acknowledged && *acknowledged >= length) break;
            const Outcome cut = Outcome::Cut(code, acknowledged.value_or(offset), length, socket.ErrorText());
            socket.Close();
            ReportOutcome(display_, TransferCutShortText, DescribeOutcome(cut) + QStringLiteral(" (") + cut.detail + QLatin1Char(')'));
            context_.outcomes.Record(cut);
            return cut;
        }
        progress_.SetPosition(gaugeAt == GaugeAt::ChunkEnd ? offset + n : offset);
        if (offset % RepaintEvery == 0) progress_.Repaint();
    }
    // Gauged by chunk starts, a one-chunk file would never show full.
    if (gaugeAt == GaugeAt::ChunkStart) progress_.SetPosition(GaugeMaximum(length));
    const std::optional<std::uint64_t> takenAlready = socket.BytesAcknowledged();
    const std::uint64_t unacknowledged =
        takenAlready && *takenAlready >= length && !socket.IsConnected() ? 0 : socket.FinishSending(DataCloseWaitMs);
    if (unacknowledged > 0) {
        const std::uint64_t taken = unacknowledged >= length ? 0 : length - unacknowledged;
        const Outcome cut = Outcome::Cut(code, taken, length, QStringLiteral("the module stopped taking the data"));
        ReportOutcome(display_, TransferCutShortText,
                      QStringLiteral("the module closed the data connection before taking all %1 bytes").arg(length));
        context_.outcomes.Record(cut);
        return cut;
    }
    const Outcome done = Outcome::Done(code);
    context_.outcomes.Record(done);
    return done;
}

}  // namespace zqb
