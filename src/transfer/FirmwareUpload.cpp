#include "transfer/FirmwareUpload.h"

#include <QFile>
#include <algorithm>

#include "platform/SafeFile.h"

#include "protocol/CommandBuilders.h"
#include "protocol/CommandCodes.h"
#include "protocol/CommandSenders.h"

namespace zqb {

namespace {

const QByteArray ImageName = "/sys/mcuimg.bin";
const QByteArray LegacyImageName = "mcuimg.bin";

}  // namespace

FirmwareUpload::FirmwareUpload(SessionContext& context, CommandTransport& transport, DeviceDisplay& display,
                               Dialogs& dialogs, Pauses& pauses, FileTransfer& transfer)
    : context_(context), transport_(transport), display_(display), dialogs_(dialogs), pauses_(pauses), transfer_(transfer)
{
}

// An upload that ends before its verdict frees the module at once.
Outcome FirmwareUpload::Give(const Outcome& outcome)
{
    transport_.ReleaseExclusive();
    return outcome;
}

Outcome FirmwareUpload::UploadFirmwareImage()
{
    const std::optional<QString> path = dialogs_.AskOpenFile(ImageFilter, QStringLiteral("bin"));
    if (!path) return Outcome::Cancelled();
    return UploadImageFile(QFile::encodeName(*path));
}

// Nothing of a file that cannot be sent whole ever reaches the buffer: its size is known from
// the file system first, and a short read is refused rather than sending stale buffer bytes.
Outcome FirmwareUpload::UploadImageFile(const QByteArray& path)
{
    DeviceSession& s = context_.session;
    // A second update started while one runs would overwrite the buffer being sent.
    if (context_.ExchangeBusy) return Outcome::BusyBecause(BeginFileWrite, BusyWith::Exchange);

    const QString name = QFile::decodeName(path);
    const FileRead file = ReadRegularFile(path, MaxImageBytes, true);
    if (!file.read && file.size == 0) return Outcome::File(name, file.reason);
    display_.SetPanelText(StatusPanel::Message, QStringLiteral("MCUImg FileLength => %1").arg(file.size));
    if (file.size > MaxImageBytes) {
        display_.SetPanelText(StatusPanel::Message, ImageTooLargeText);
        return Outcome::BadInput(name, ImageTooLargeText);
    }
    if (!file.read) return Outcome::File(name, file.reason);
    if (file.size == 0) return Outcome::File(name, QStringLiteral("It is empty."));
    if (file.bytes.size() != file.size)
        return Outcome::File(name, QStringLiteral("Only %1 of its %2 bytes could be read.").arg(file.bytes.size()).arg(file.size));
    const auto length = static_cast<std::uint32_t>(file.size);
    std::copy(file.bytes.begin(), file.bytes.end(), context_.TransferBuffer());

    context_.imageSum = ByteSum(context_.TransferBuffer(), length);
    context_.imageVerdict.reset();
    const auto sum = static_cast<std::uint32_t>(context_.imageSum);
    display_.SetPanelText(StatusPanel::Message,
                          QStringLiteral("Send MCUImg CheckSum => ") +
                              QStringLiteral("%1").arg(context_.imageSum, 8, 16, QLatin1Char('0')).toUpper());

    const bool known = s.modelKnown != 0;
    const std::uint8_t announcement = known ? BeginFileWrite : BeginImageWriteLegacy;
    // The module takes the next connection after the announcement as the image, whoever opens
    // it: no other program may talk to it until the image is checked.
    if (!transport_.HoldExclusively(CommandTransport::ExclusiveWaitMs)) {
        display_.SetPanelText(StatusPanel::Message, ModuleInUseText);
        return Give(Outcome::BusyBecause(announcement, BusyWith::OtherProgram));
    }
    const std::size_t frameLength = BuildFileAnnouncement(context_.commandFrame, announcement, ImageAnnouncementLength,
                                                          length, sum, known ? ImageName : LegacyImageName);
    s.commandInFlight = 0;
    const ExchangeResult announced = transport_.SendCommandOnly(frameLength);
    s.replyOverdue = 0;
    if (!announced.Delivered()) return Give(transport_.Verdict(announcement, announced));

    transfer_.Progress().Begin(GaugeMaximum(length));
    const Outcome data = transfer_.SendData(announcement, length, known ? PauseBeforeDataMs : LegacyPauseBeforeDataMs,
                                            FileTransfer::GaugeAt::ChunkStart);
    if (!data.Ok()) return Give(data);
    pauses_.Pause(PauseAfterDataMs);

    if (!known) {
        // The old way gives no verdict: the module is free once the sum is announced.
        const Outcome told = AnnounceImageChecksum(context_, transport_);
        transport_.ReleaseExclusive();
        return told;
    }
    s.checksumRetries = 0;
    const Outcome asked = RequestImageChecksum(context_, transport_);
    // The answer, a late one on a re-issue, or the give-up after the last re-issue ends the check
    // and frees the module (reply handling). A request that never reached the module ends it here.
    if (asked.kind == OutcomeKind::Unreachable || asked.kind == OutcomeKind::CutShort) return Give(asked);
    return Outcome::Done(GetImageChecksum);
}

}  // namespace zqb
