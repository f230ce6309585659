// The one verdict on an exchange, for the commands whose answer the module may leave out and for
// those it must send: whatever arrives that is not a valid reply is a failure, and only silence
// after the whole frame is delivery, and only where the module may be silent.
#include <gtest/gtest.h>

#include <QByteArray>

#include "protocol/CommandCodes.h"
#include "protocol/ReplyRules.h"

namespace zqb::test {
namespace {

struct Verdict {
    OutcomeKind kind;
    ReplyFault fault = ReplyFault::None;
};

Outcome Judge(std::uint8_t code, ExchangeResult::Kind kind, const QByteArray& reply = {})
{
    ReplyBuffer buffer{};
    std::copy(reply.begin(), reply.end(), buffer.begin());
    return JudgeExchange(code, ExchangeResult(kind, static_cast<std::size_t>(reply.size()), 5), buffer);
}

TEST(ReplyVerdict, NothingButAValidReplyOrAPermittedSilenceIsDelivery)
{
    using K = OutcomeKind;
    // Replies as they arrive, in hex with XX where the command's own code stands, or as text.
    const struct {
        const char* name;
        const char* bytes;
        bool text;
        Verdict verdict;
    } replies[] = {
        {"acknowledged", "5A3577A5XX06", false, {K::Delivered}},
        {"refused", "5A3577A5XX03", false, {K::Refused}},
        {"refusal with bad magic", "003577A5XX03", false, {K::InvalidReply, ReplyFault::BadMagic}},
        {"acknowledgement with bad magic", "5A3577A4XX06", false, {K::InvalidReply, ReplyFault::BadMagic}},
        {"another command's echo", "5A3577A5EE06", false, {K::InvalidReply, ReplyFault::WrongEcho}},
        {"magic and echo only", "5A3577A5XX", false, {K::InvalidReply, ReplyFault::TooShort}},
        {"magic only", "5A3577A5", false, {K::InvalidReply, ReplyFault::TooShort}},
        {"one byte", "5A", false, {K::InvalidReply, ReplyFault::BadMagic}},
        {"an HTTP answer", "HTTP/1.1 400 Bad Request\r\n\r\n", true, {K::InvalidReply, ReplyFault::BadMagic}},
    };
    // Web key, Wi-Fi mode, reset to defaults and the settings-written notice may go unanswered;
    // the locator and the analog output may not.
    const struct {
        std::uint8_t code;
        bool maySkip;
    } commands[] = {{SetWebKey, true}, {SetWifiMode, true}, {ClearFlashConfig, true}, {ConfigWritten, true},
                    {SetLocator, false}, {SetAnalog, false}};

    for (const auto& command : commands) {
        for (const auto& reply : replies) {
            SCOPED_TRACE(std::string(reply.name) + " to " + CommandName(command.code).toStdString());
            const QByteArray code = QByteArray(1, static_cast<char>(command.code)).toHex().toUpper();
            const QByteArray bytes =
                reply.text ? QByteArray(reply.bytes) : QByteArray::fromHex(QByteArray(reply.bytes).replace("XX", code));
            const Outcome o = Judge(command.code, ExchangeResult::Kind::Replied, bytes);
            EXPECT_EQ(o.kind, reply.verdict.kind) << DescribeOutcome(o).toStdString();
            EXPECT_EQ(o.fault, reply.verdict.fault);
            EXPECT_EQ(o.command, command.code);
            if (reply.verdict.kind == K::Refused) {
                EXPECT_EQ(o.status, 3);
            }
        }
        for (const auto kind : {ExchangeResult::Kind::NoReply, ExchangeResult::Kind::ClosedWithoutReply}) {
            const Outcome silent = Judge(command.code, kind);
            EXPECT_EQ(silent.kind, command.maySkip ? K::Delivered : K::NoReply) << CommandName(command.code).toStdString();
        }
        // A frame that did not go out whole is never delivered, whatever the command.
        EXPECT_EQ(Judge(command.code, ExchangeResult::Kind::ConnectionLost).kind, K::CutShort);
        EXPECT_EQ(Judge(command.code, ExchangeResult::Kind::NotConnected).kind, K::Unreachable);
    }
}

}  // namespace
}  // namespace zqb::test
