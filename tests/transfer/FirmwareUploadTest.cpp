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

// Nothing of a file that cannot be sent whole, or of none chosen, ever reaches the module, or the
// buffer.
TEST_F(FirmwareUploads, FilesThatCannotBeSentWholeAreRefusedBeforeAnythingIsSent)
{
    const QString huge = WriteFile("huge.bin", {});
    QFile(huge).resize(17 * 1024 * 1024);
    const QString oneTooMany = WriteFile("over.bin", {});
    QFile(oneTooMany).resize(2097153);
    const QString fifo = dir.filePath("pipe.bin");
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    const struct {
        std::optional<QString> path;  // none: the dialog is cancelled
        OutcomeKind kind;  // too large: an input error the panel states; else the file at fault
        const char* rule;  // how its reason begins
    } cases[] = {
        {std::nullopt, OutcomeKind::Declined, nullptr},
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
        if (c.path && !QFileInfo(*c.path).exists()) continue;
        const std::string name = c.path.value_or(QStringLiteral("(cancelled)")).toStdString();
        dialogs.ExpectOpenFile(c.path);
        const Outcome result = firmware.UploadFirmwareImage();
        EXPECT_EQ(result.kind, c.kind) << name;
        if (c.rule) {
            EXPECT_TRUE(result.rule.startsWith(QLatin1String(c.rule))) << result.rule.toStdString();
        }
        if (c.kind == OutcomeKind::InputError) {
            EXPECT_EQ(display.Message(), ImageTooLargeText);
            EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(context.TransferBuffer()), 64), QByteArray(64, '\x5A'))
                << "an image too large never touches the buffer";
        }
    }
    EXPECT_EQ(module.ConnectionCount(), 0);
}

// Every image whose data the module took whole goes on to the verdict, however the module ends
// the data connection. The verdict is the module's sum against the PC's; a check left without an
// answer (closed or silent) is asked three more times on the transfer timer's schedule, whatever
// the link timer does to the other retry count, then given up; one whose re-issues cannot connect
// ends on the same schedule. Either way the module is free again for every program of this PC.
TEST_F(FirmwareUploads, EveryWholeImageEndsWithAVerdict)
{
    using M = zqbsim::Misbehaviour;
    const struct {
        const char* what;
        std::function<void(M&)> upload;   // the module during the upload and its first check
        std::function<void(M&)> reissue;  // and while the check is asked again
        QStringList saidWhileAskingAgain;
        OutcomeKind verdict;
        const char* message;
        std::size_t checksumRequests;
    } cases[] = {
        {"every byte taken, then a reset", [](M& b) { b.resetDataAfterAll = true; }, [](M&) {}, {}, OutcomeKind::Delivered,
         "F/W update Complete! Reboot to take effect", 1},
        {"another sum", [](M& b) { b.imageSumOverride = 0x12345678; }, [](M&) {}, {}, OutcomeKind::VerdictMismatch,
         "Update F/W fail with Error! Please retry again.", 1},
        {"check closed without an answer", [](M& b) { b.closeWithoutReply = true; }, [](M& b) { b.closeWithoutReply = true; },
         {"Retry transfer 1", "Retry transfer 2", "Retry transfer 3", "Retry timeout, abort transfer!"}, OutcomeKind::NoReply,
         "Retry timeout, abort transfer!", 4},
        {"check never answered", [](M& b) { b.silentFor = {GetImageChecksum}; }, [](M& b) { b.silentFor = {GetImageChecksum}; },
         {"Retry transfer 1", "Retry transfer 2", "Retry transfer 3", "Retry timeout, abort transfer!"}, OutcomeKind::NoReply,
         "Retry timeout, abort transfer!", 4},
        {"re-issues cannot connect", [](M& b) { b.closeWithoutReply = true; }, [](M& b) { b.refuseConnections = true; },
         {"Retry transfer 1", "Connect Timeout", "Retry transfer 2", "Connect Timeout", "Retry transfer 3", "Connect Timeout",
          "Retry timeout, abort transfer!"},
         OutcomeKind::Unreachable, "Retry timeout, abort transfer!", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        transport.SetTiming({});
        M behaviour;
        c.upload(behaviour);
        module.SetBehaviour(behaviour);
        module.ClearFrames();
        const std::size_t verdictsBefore = display.verdicts.size();
        const Outcome sent = Upload(WriteFile("fw.bin", Pattern(5000)));
        EXPECT_TRUE(sent.Ok()) << DescribeOutcome(sent).toStdString();
        const bool askedAgain = !c.saidWhileAskingAgain.isEmpty();
        EXPECT_EQ(context.imageVerdict.has_value(), !askedAgain);
        EXPECT_EQ(context.session.replyOverdue, askedAgain ? 1 : 0);

        behaviour = {};
        c.reissue(behaviour);
        module.SetBehaviour(behaviour);
        transport.SetTiming({3000, 5, 5});  // a silent re-issue ends quickly
        const std::size_t before = display.panelHistory.size();
        for (int tick = 0; tick < 400 && !context.imageVerdict; ++tick) {
            context.session.retryCount = 0;  // every link timer tick
            replies.OverdueTick();
        }
        const QStringList said(display.panelHistory.begin() + static_cast<std::ptrdiff_t>(before), display.panelHistory.end());
        EXPECT_EQ(said, c.saidWhileAskingAgain);
        ASSERT_TRUE(context.imageVerdict);
        EXPECT_EQ(context.imageVerdict->kind, c.verdict);
        if (c.verdict == OutcomeKind::VerdictMismatch) {
            EXPECT_EQ(context.imageVerdict->done, 0x12345678u) << "the module's sum";
        }
        EXPECT_EQ(display.verdicts.size(), verdictsBefore + 1);
        EXPECT_EQ(display.verdicts.back(), c.verdict == OutcomeKind::Delivered);
        EXPECT_EQ(display.verdictKinds.back(), c.verdict);
        EXPECT_EQ(display.Message(), QLatin1String(c.message));
        EXPECT_EQ(FramesWithCode(GetImageChecksum).size(), c.checksumRequests);
        EXPECT_EQ(context.session.commandInFlight, 0);
        EXPECT_EQ(context.session.replyOverdue, 0);
        ModuleLock other;
        other.Aim(lockDir.path().toStdString(), "127.0.0.1", module.Port());
        EXPECT_EQ(other.TryShared(), ModuleLock::Attempt::Taken) << "the module is free again";
    }
}

}  // namespace
}  // namespace zqb::test
