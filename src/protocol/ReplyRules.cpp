#include "protocol/ReplyRules.h"

#include <algorithm>
#include <array>

#include "protocol/CommandCodes.h"
#include "protocol/LinkRecord.h"
#include "protocol/RecordLayouts.h"

namespace zqb {

namespace {

constexpr std::size_t StatusOnly = StatusOffset + 1;

constexpr std::array<CommandRule, 20> Rules = {{
    {SetLocator, StatusOnly, false},
    {GetLink, StatusOnly, false},  // the model decides the whole length
    {GetImageChecksum, ImageChecksumReply::moduleSum.End(), false},
    {SendImageChecksum, 0, true},
    {ResetModule, 0, true},
    {SetWifiMode, StatusOnly, true},
    {SetWebKey, StatusOnly, true},
    {BeginImageWriteLegacy, 0, true},
    {ClearFlashConfig, StatusOnly, true},
    {BeginFileWrite, StatusOnly, true},
    {GetDiCounters, CountersReply::di1Count.End(), false},
    {ClearDiCounter, StatusOnly, true},
    {SetDo, SetDoReply::diBits.End(), false},
    {SetAnalog, StatusOnly, false},
    {SetCalibration, StatusOnly, true},
    {SetOutputRange, StatusOnly, true},
    {SetFunctionConfig, StatusOnly, false},
    {GetIoStatus, IoStatusReply::currentRange.End(), false},
    {ConfigWritten, StatusOnly, true},
    {GetFunctionConfig, FunctionConfigReply::recordPresent.End(), false},
}};

constexpr CommandRule Unknown{0, StatusOnly, false};

}  // namespace

const CommandRule& RuleFor(std::uint8_t code)
{
    const auto it = std::find_if(Rules.begin(), Rules.end(), [code](const CommandRule& rule) { return rule.code == code; });
    return it == Rules.end() ? Unknown : *it;
}

ReplyFault CheckReplyForm(std::uint8_t code, const std::uint8_t* reply, std::size_t length, std::size_t& needed)
{
    needed = std::max(RuleFor(code).replyLength, StatusOnly);
    if (length < FrameMagic.size() || !std::equal(FrameMagic.begin(), FrameMagic.end(), reply)) return ReplyFault::BadMagic;
    if (length <= CodeOffset) return ReplyFault::TooShort;
    if (reply[CodeOffset] != code) return ReplyFault::WrongEcho;
    if (length < StatusOnly) return ReplyFault::TooShort;
    // A refusal carries nothing but its status.
    if (reply[StatusOffset] != StatusAcknowledged) return ReplyFault::None;
    if (code == GetLink) {
        const std::size_t model = SpanOf(LinkField::modelCode).offset;
        needed = WholeLinkRecordLength(length > model ? reply[model] : 0);
    } else if (code == GetFunctionConfig && length > FunctionConfigReply::recordPresent.offset &&
               reply[FunctionConfigReply::recordPresent.offset] == 1) {
        needed = FunctionConfigReply::record.End();
    }
    return length < needed ? ReplyFault::TooShort : ReplyFault::None;
}

Outcome JudgeExchange(std::uint8_t code, const ExchangeResult& result, const ReplyBuffer& reply)
{
    using Kind = ExchangeResult::Kind;
    const bool maySkip = RuleFor(code).maySkipReply;
    Outcome outcome;
    switch (result.kind) {
    case Kind::Dropped: return Outcome::BusyBecause(code, BusyWith::Exchange);
    case Kind::HeldElsewhere: return Outcome::BusyBecause(code, BusyWith::OtherProgram);
    case Kind::NotAllowed: return Outcome::NotReached(code, Unreached::NotLoopback);
    case Kind::NotConnected: return Outcome::NotReached(code, Unreached::NoConnection, result.detail);
    case Kind::ConnectionLost: return Outcome::Cut(code, 0, result.frameLength, result.detail);
    case Kind::ClosedWithoutReply:
    case Kind::NoReply:
        if (maySkip) return Outcome::Done(code);
        outcome = Outcome::Silent(code);
        outcome.detail = result.detail;
        return outcome;
    case Kind::Sent: return Outcome::Done(code);
    case Kind::Replied: break;
    }
    const std::size_t length = std::min(result.replyLength, reply.size());
    std::size_t needed = 0;
    const ReplyFault fault = CheckReplyForm(code, reply.data(), length, needed);
    if (fault != ReplyFault::None) {
        outcome = Outcome::Invalid(code, fault);
        if (fault == ReplyFault::WrongEcho) outcome.status = reply[CodeOffset];
        if (fault == ReplyFault::TooShort) {
            outcome.done = length;
            outcome.total = needed;
        }
        return outcome;
    }
    if (reply[StatusOffset] != StatusAcknowledged) return Outcome::RefusedWith(code, reply[StatusOffset]);
    return Outcome::Done(code);
}

}  // namespace zqb
