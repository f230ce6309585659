// The firmware update: file checks before anything is sent, the two upload paths, and the
// module's verdict, bounded when it never comes.
#include <sys/stat.h>

#include "protocol/CommandCodes.h"
#include "transfer/TransferRig.h"

namespace zqb::test {
namespace {

class FirmwareUploads : public TransferRig {
protected:
    FirmwareUploads()
    {
        StartModule();
        context.session.modelKnown = 1;
    }

    // The open dialog answers with `path`.
    Outcome Upload(const QString& path)
    {
        dialogs.ExpectOpenFile(path);
        return firmware.UploadFirmwareImage();
    }

    std::vector<QByteArray> FramesWithCode(std::uint8_t code) const
    {
        std::vector<QByteArray> found;
        for (const QByteArray& frame : module.Frames())
            if (frame.size() > 4 && static_cast<std::uint8_t>(frame[4]) == code) found.push_back(frame);
        return found;
    }
};

TEST_F(FirmwareUploads, ImageOfTheFullTwoMebibytesArrivesAndTheSumsAgree)
{
    const QByteArray image = Pattern(2097152, 3);
    std::uint32_t sum = 0;
    for (const char c : image) sum += static_cast<std::uint8_t>(c);
    const Outcome result = Upload(WriteFile("fw.bin", image));
    EXPECT_TRUE(result.Ok()) << DescribeOutcome(result).toStdString();
    EXPECT_EQ(result.command, GetImageChecksum) << "the module was asked for its sum";
    ASSERT_TRUE(context.imageVerdict);
    EXPECT_TRUE(context.imageVerdict->Ok());
    EXPECT_EQ(Stored("/sys/mcuimg.bin"), image);

    const QByteArray announcement = module.Frames().at(0);
    ASSERT_EQ(announcement.size(), 40);
    QByteArray head = Hex("5A 35 77 A5 5F 00 20 00 00 00 00 00 00 00 00 00 0F");
    for (int i = 0; i < 4; ++i) head[9 + i] = static_cast<char>(sum >> (24 - 8 * i));
    EXPECT_EQ(HexText(announcement.left(17)), HexText(head));
    EXPECT_EQ(announcement.mid(17, 15), QByteArray("/sys/mcuimg.bin"));
    EXPECT_EQ(announcement.mid(32), QByteArray(8, '\0'));
    ASSERT_EQ(FramesWithCode(GetImageChecksum).size(), 1u);
    EXPECT_EQ(FramesWithCode(GetImageChecksum)[0].mid(5), announcement.mid(9, 4)) << "the PC-side sum";
    EXPECT_TRUE(FramesWithCode(ResetModule).empty()) << "the restart meets the running exchange";

    EXPECT_EQ(display.panelHistory.at(0), QStringLiteral("MCUImg FileLength => 2097152"));
    EXPECT_EQ(sum, 0x0FF00000u);
    EXPECT_EQ(display.panelHistory.at(1), QStringLiteral("Send MCUImg CheckSum => 0FF00000"));
    EXPECT_EQ(display.verdicts, std::vector<bool>{true});
    EXPECT_EQ(display.Message(), ChecksumMatchText);
    EXPECT_EQ(pauses.pauses, (std::vector<int>{3000, 2000}));
    EXPECT_EQ(progress.maximums, std::vector<std::uint32_t>{2097152 - 1024});
    EXPECT_EQ(progress.positions.at(1), 1024u) << "the gauge stands at the start of each chunk";
    EXPECT_TRUE(progress.busyWhileSending);
    EXPECT_EQ(dialogs.fileDialogs, QStringList{QStringLiteral("open bin|*.bin bin")});
}

TEST_F(FirmwareUploads, UnknownModelTakesTheLegacyPathAndEndsWithTheAnnouncedSum)
{
    context.session.modelKnown = 0;
    const QByteArray image = Pattern(700);
    const Outcome legacy = Upload(WriteFile("old.bin", image));
    EXPECT_TRUE(legacy.Ok());
    EXPECT_EQ(legacy.command, SendImageChecksum) << "the old way gives no verdict";
    EXPECT_FALSE(context.imageVerdict);
    EXPECT_EQ(Stored("mcuimg.bin"), image);
    const QByteArray announcement = module.Frames().at(0);
    ASSERT_EQ(announcement.size(), 40);
    EXPECT_EQ(static_cast<std::uint8_t>(announcement[4]), BeginImageWriteLegacy);
    EXPECT_EQ(static_cast<std::uint8_t>(announcement[16]), 10);
    EXPECT_EQ(announcement.mid(17, 10), QByteArray("mcuimg.bin"));
    ASSERT_TRUE(module.WaitForFrames(2, 2000));
    EXPECT_EQ(FramesWithCode(SendImageChecksum).size(), 1u);
    EXPECT_EQ(pauses.pauses, (std::vector<int>{1000, 2000}));
    EXPECT_TRUE(display.verdicts.empty());
    EXPECT_EQ(progress.maximums, std::vector<std::uint32_t>{700}) << "a one-chunk image gets a sane scale";
    EXPECT_EQ(progress.positions.back(), 700u) << "and a full gauge at the end";
}

// Nothing of a file that cannot be sent whole ever reaches the module, or the buffer.
TEST_F(FirmwareUploads, FilesThatCannotBeSentWholeAreRefusedBeforeAnythingIsSent)
{
    const QString huge = WriteFile("huge.bin", {});
    QFile(huge).resize(17 * 1024 * 1024);
    const QString oneTooMany = WriteFile("over.bin", {});
    QFile(oneTooMany).resize(2097153);
    const QString fifo = dir.filePath("pipe.bin");
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    const struct {
        QString path;
        OutcomeKind kind;  // too large: an input error the panel states; else the file at fault
        const char* rule;
    } cases[] = {
        {huge, OutcomeKind::InputError, "File Lengths > Buffer Size, Abort!"},
        {oneTooMany, OutcomeKind::InputError, "File Lengths > Buffer Size, Abort!"},
        {WriteFile("empty.bin", {}), OutcomeKind::FileError, "It is empty."},
        {dir.path(), OutcomeKind::FileError, "It is not a regular file."},
        {fifo, OutcomeKind::FileError, "It is not a regular file."},
        // A regular file that reads shorter than the size it reports: stale buffer bytes would
        // go out in place of the rest, with a sum that still matches.
        {QStringLiteral("/sys/kernel/mm/transparent_hugepage/enabled"), OutcomeKind::FileError, "Only "},
    };
    Fill(QByteArray(64, '\x5A'));
    for (const auto& c : cases) {
        if (!QFileInfo(c.path).exists()) continue;
        const Outcome result = Upload(c.path);
        EXPECT_EQ(result.kind, c.kind) << c.path.toStdString();
        EXPECT_TRUE(result.rule.startsWith(QLatin1String(c.rule))) << result.rule.toStdString();
        if (c.kind == OutcomeKind::InputError) {
            EXPECT_EQ(display.Message(), ImageTooLargeText);
            EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(context.TransferBuffer()), 64), QByteArray(64, '\x5A'))
                << "an image too large never touches the buffer";
        }
    }
    EXPECT_EQ(module.ConnectionCount(), 0);
}

// An image whose every byte the module took goes on to the verdict, however the module ends the
// data connection; a checksum connection closed without an answer is a missing verdict, asked
// for again on the same schedule as silence, then given up.
TEST_F(FirmwareUploads, TheVerdictIsAskedAfterEveryWholeDataPhase)
{
    zqbsim::Misbehaviour reset;
    reset.resetDataAfterAll = true;
    module.SetBehaviour(reset);
    const Outcome sent = Upload(WriteFile("fw.bin", Pattern(5000)));
    EXPECT_TRUE(sent.Ok()) << DescribeOutcome(sent).toStdString();
    EXPECT_EQ(FramesWithCode(GetImageChecksum).size(), 1u);
    ASSERT_TRUE(context.imageVerdict);
    EXPECT_TRUE(context.imageVerdict->Ok());

    module.ClearFrames();
    zqbsim::Misbehaviour hangUp;
    hangUp.closeWithoutReply = true;
    module.SetBehaviour(hangUp);
    EXPECT_TRUE(Upload(WriteFile("fw.bin", Pattern(5000))).Ok());
    EXPECT_FALSE(context.imageVerdict);
    EXPECT_EQ(context.session.replyOverdue, 1);
    for (int tick = 0; tick < 400 && context.session.replyOverdue; ++tick) {
        context.session.retryCount = 0;
        replies.OverdueTick();
    }
    EXPECT_EQ(FramesWithCode(GetImageChecksum).size(), 4u);
    EXPECT_EQ(display.Message(), RetryTimeoutText);
    ASSERT_TRUE(context.imageVerdict);
    EXPECT_EQ(context.imageVerdict->kind, OutcomeKind::NoReply);
}

// A module that goes away after the first checksum request: each re-issue meets a refused
// connection. The check ends on the schedule of silence, and the module is free again for every
// program of this PC.
TEST_F(FirmwareUploads, ACheckWhoseReissuesCannotConnectEndsAndFreesTheModule)
{
    zqbsim::Misbehaviour hangUp;
    hangUp.closeWithoutReply = true;
    module.SetBehaviour(hangUp);
    ASSERT_TRUE(Upload(WriteFile("fw.bin", Pattern(5000))).Ok());
    ASSERT_EQ(context.session.replyOverdue, 1);
    zqbsim::Misbehaviour refusing;
    refusing.refuseConnections = true;
    module.SetBehaviour(refusing);
    const std::size_t before = display.panelHistory.size();
    for (int tick = 0; tick < 400 && !context.imageVerdict; ++tick) {
        context.session.retryCount = 0;  // every link timer tick
        replies.OverdueTick();
    }
    const QStringList said(display.panelHistory.begin() + static_cast<std::ptrdiff_t>(before), display.panelHistory.end());
    EXPECT_EQ(said, (QStringList{"Retry transfer 1", "Connect Timeout", "Retry transfer 2", "Connect Timeout", "Retry transfer 3",
                                 "Connect Timeout", "Retry timeout, abort transfer!"}));
    ASSERT_TRUE(context.imageVerdict);
    EXPECT_EQ(context.imageVerdict->kind, OutcomeKind::Unreachable);
    EXPECT_EQ(display.verdictKinds.back(), OutcomeKind::Unreachable);
    EXPECT_EQ(context.session.commandInFlight, 0);
    EXPECT_EQ(context.session.replyOverdue, 0);
    EXPECT_EQ(FramesWithCode(GetImageChecksum).size(), 1u) << "only the first request reached the module";
    ModuleLock other;
    other.Aim(lockDir.path().toStdString(), "127.0.0.1", module.Port());
    EXPECT_EQ(other.TryShared(), ModuleLock::Attempt::Taken) << "the module is free again";
}

TEST_F(FirmwareUploads, CancelledDialogSendsNothing)
{
    dialogs.ExpectOpenFile(std::nullopt);
    EXPECT_EQ(firmware.UploadFirmwareImage().kind, OutcomeKind::Declined);
    EXPECT_EQ(module.ConnectionCount(), 0);
}

TEST_F(FirmwareUploads, DifferentSumFromTheModuleIsAFailure)
{
    zqbsim::Misbehaviour wrongSum;
    wrongSum.imageSumOverride = 0x12345678;
    module.SetBehaviour(wrongSum);
    Upload(WriteFile("fw.bin", Pattern(5000)));
    EXPECT_EQ(display.verdicts, std::vector<bool>{false});
    EXPECT_EQ(display.Message(), ChecksumMismatchText);
    ASSERT_TRUE(context.imageVerdict);
    EXPECT_EQ(context.imageVerdict->kind, OutcomeKind::VerdictMismatch);
    EXPECT_EQ(context.imageVerdict->done, 0x12345678u);
}

// A module that never answers the check is asked three more times, whatever the link timer does
// to the other retry count, and then the update is given up as failed.
TEST_F(FirmwareUploads, UnansweredCheckIsAskedThreeTimesMoreThenFails)
{
    transport.SetTiming({3000, 5, 5});
    Upload(WriteFile("fw.bin", Pattern(3000)));
    zqbsim::Misbehaviour silent;
    silent.silent = true;
    module.SetBehaviour(silent);
    context.session.commandInFlight = GetImageChecksum;  // as an unanswered check leaves it
    context.session.replyOverdue = 1;
    QStringList said;
    for (int tick = 0; tick < 400 && context.session.replyOverdue; ++tick) {
        context.session.retryCount = 0;  // every link timer tick
        replies.OverdueTick();
        if (said.isEmpty() || said.last() != display.Message()) said << display.Message();
    }
    EXPECT_EQ(said, (QStringList{ChecksumMatchText, "Retry transfer 1", "Retry transfer 2", "Retry transfer 3",
                                 RetryTimeoutText}));
    EXPECT_EQ(FramesWithCode(GetImageChecksum).size(), 4u);
    EXPECT_EQ(display.verdicts, (std::vector<bool>{true, false}));
    EXPECT_EQ(display.verdictKinds.back(), OutcomeKind::NoReply);
    EXPECT_EQ(context.session.commandInFlight, 0);
}

}  // namespace
}  // namespace zqb::test
