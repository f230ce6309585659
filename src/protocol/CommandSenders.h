#pragma once

#include <cstddef>
#include <cstdint>

#include "protocol/CommandTransport.h"
#include "protocol/SessionContext.h"

namespace zqb {

// Starts a new command: records it as in flight and lets the caller build it into CommandFrame.
// While an exchange runs, its frame and its commandInFlight belong to it until it ends, so the
// new command is refused here (the transport would drop it anyway) and nothing is touched.
bool BeginCommand(SessionContext& context, std::uint8_t code);

// Puts a command into the one-command queue that the link timer sends as a 7-byte frame.
// The parameter pair is left as it stands (SetLocator, GetDiCounters).
void QueueCommand(SessionContext& context, std::uint8_t code);
// The same, setting the queue's parameter pair and frame bytes 5 and 6 (SetDo, GetLink).
void QueueCommand(SessionContext& context, std::uint8_t code, std::uint8_t param1, std::uint8_t param2);

// Senders that the protocol itself re-issues.
void RequestLocator(SessionContext& context);
Outcome RequestImageChecksum(SessionContext& context, CommandTransport& transport);
Outcome AnnounceImageChecksum(SessionContext& context, CommandTransport& transport);
Outcome SendResetModule(SessionContext& context, CommandTransport& transport);

}  // namespace zqb
