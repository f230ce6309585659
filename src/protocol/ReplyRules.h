#pragma once

#include <cstddef>
#include <cstdint>

#include "protocol/CommandTransport.h"
#include "protocol/Frames.h"
#include "protocol/Outcome.h"

namespace zqb {

// What the console may expect of the module's answer to each command.
struct CommandRule {
    std::uint8_t code;
    // Bytes a valid reply holds at least: up to the last field that is read, and never less than
    // the status byte. 0 for commands sent without reading any reply.
    std::size_t replyLength;
    // The module need not answer: it restarts at once (Wi-Fi mode, reset to defaults), or nothing
    // is read from its answer. Silence, or a close without a reply, once the whole frame was
    // written, is then delivery.
    bool maySkipReply;
};

// The rule of a command; commands the console never sends get the strictest one.
const CommandRule& RuleFor(std::uint8_t code);

// Whether `length` bytes form a reply to `code` at all (magic, echo, length), before its status
// is looked at. For a link record or a function record the fields present decide the length.
// `needed` receives the length the reply should have had.
ReplyFault CheckReplyForm(std::uint8_t code, const std::uint8_t* reply, std::size_t length, std::size_t& needed);

// The one verdict on an exchange of `code`, for every sender: delivered only when the module
// acknowledged it with a valid reply, or when it may skip its reply and the whole frame went out.
// An invalid reply is a failure for every command.
Outcome JudgeExchange(std::uint8_t code, const ExchangeResult& result, const ReplyBuffer& reply);

}  // namespace zqb
