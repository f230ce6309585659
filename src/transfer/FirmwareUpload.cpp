#include "transfer/FirmwareUpload.h"

#include <QFile>
#include <QFileInfo>

#include "protocol/CommandBuilders.h"
#include "protocol/CommandCodes.h"
#include "protocol/CommandSenders.h"

namespace zqb {

namespace {

const QByteArray ImageName = "/sys/mcuimg.bin";
const QByteArray LegacyImageName = "mcuimg.bin";

}  // namespace

FirmwareUpload::FirmwareUpload(ModuleLink& link, FileTransfer& transfer) : link_(link), transfer_(transfer) {}

FirmwareResult FirmwareUpload::Refuse(const QString& text)
{
    link_.GetDialogs().ShowError(text);
    return {FirmwareStep::FileRefused, text};
}

// Nothing of a file that cannot be sent whole ever reaches the buffer: its size is known from
// the file system first, and a short read is refused rather than sending stale buffer bytes.
bool FirmwareUpload::ReadImage(const QString& path, std::uint32_t& length, QString& problem)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        problem = QStringLiteral("Cannot open file \"%1\". %2").arg(path, file.errorString());
        return false;
    }
    std::uint8_t* buffer = link_.Context().TransferBuffer();
    qint64 got = 0;
    while (got < length) {
        const qint64 n = file.read(reinterpret_cast<char*>(buffer) + got, length - got);
        if (n <= 0) break;
        got += n;
    }
    if (got != length) {
        problem = QStringLiteral("Cannot read file \"%1\" whole (%2 of %3 bytes). %4")
                      .arg(path)
                      .arg(got)
                      .arg(length)
                      .arg(file.errorString());
        return false;
    }
    return true;
}

FirmwareResult FirmwareUpload::UploadFirmwareImage()
{
    const std::optional<QString> path = link_.GetDialogs().AskOpenFile(ImageFilter, QStringLiteral("bin"));
    if (!path) return {FirmwareStep::Cancelled, {}};
    return UploadImageFile(*path);
}

FirmwareResult FirmwareUpload::UploadImageFile(const QString& path)
{
    SessionContext& context = link_.Context();
    DeviceSession& s = context.session;
    DeviceDisplay& display = link_.Display();
    // A second update started while one runs would overwrite the buffer being sent.
    if (context.ExchangeBusy) return {FirmwareStep::NotAnnounced, QStringLiteral("another exchange with the module was running")};

    const QFileInfo info(path);
    if (!info.isFile()) return Refuse(QStringLiteral("Cannot open file \"%1\". It is not a regular file.").arg(path));
    const qint64 size = info.size();
    display.SetPanelText(StatusPanel::Message, QStringLiteral("MCUImg FileLength => %1").arg(size));
    if (size > MaxImageBytes) {
        display.SetPanelText(StatusPanel::Message, ImageTooLargeText);
        return {FirmwareStep::FileRefused, ImageTooLargeText};
    }
    if (size == 0) return Refuse(QStringLiteral("Cannot use file \"%1\". It is empty.").arg(path));
    std::uint32_t length = static_cast<std::uint32_t>(size);
    QString problem;
    if (!ReadImage(path, length, problem)) return Refuse(problem);

    context.imageSum = ByteSum(context.TransferBuffer(), length);
    const auto sum = static_cast<std::uint32_t>(context.imageSum);
    display.SetPanelText(StatusPanel::Message,
                         QStringLiteral("Send MCUImg CheckSum => %1").arg(context.imageSum, 8, 16, QLatin1Char('0')).toUpper());

    const bool known = s.modelKnown != 0;
    const std::size_t frameLength = BuildFileAnnouncement(context.commandFrame, known ? BeginFileWrite : BeginImageWriteLegacy,
                                                          ImageAnnouncementLength, length, sum,
                                                          known ? ImageName : LegacyImageName);
    s.commandInFlight = 0;
    const ExchangeResult announced = link_.Transport().SendCommandOnly(frameLength);
    s.replyOverdue = 0;
    if (!announced.Delivered())
        return {FirmwareStep::NotAnnounced, QStringLiteral("the announcement did not reach the module")};

    transfer_.Progress().Begin(GaugeMaximum(length));
    const TransferResult data = transfer_.SendData(length, known ? PauseBeforeDataMs : LegacyPauseBeforeDataMs,
                                                   FileTransfer::GaugeAt::ChunkStart);
    if (!data.Sent()) return {FirmwareStep::DataFailed, data.reason};
    link_.GetPauses().Pause(PauseAfterDataMs);

    if (!known) {
        const bool announcedSum = AnnounceImageChecksum(context, link_.Transport()).Delivered();
        return {announcedSum ? FirmwareStep::LegacySent : FirmwareStep::ChecksumNotAsked, {}};
    }
    s.checksumRetries = 0;
    const ExchangeResult asked = RequestImageChecksum(context, link_.Transport());
    return {asked.Delivered() ? FirmwareStep::ChecksumAsked : FirmwareStep::ChecksumNotAsked, {}};
}

}  // namespace zqb
