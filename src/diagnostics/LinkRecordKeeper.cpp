#include "diagnostics/LinkRecordKeeper.h"

#include "protocol/CommandCodes.h"

namespace zqb {

LinkRecordKeeper::LinkRecordKeeper(SessionContext& context) : last_(std::make_shared<std::optional<Kept>>())
{
    std::weak_ptr<std::optional<Kept>> weak = last_;
    const SessionContext& c = context;
    context.outcomes.Watch([weak, &c](const LoggedOutcome& logged) {
        const std::shared_ptr<std::optional<Kept>> last = weak.lock();
        if (!last || logged.outcome.command != GetLink || !logged.outcome.Ok()) return;
        // The reply is still in the reply buffer: outcomes are recorded as the exchange ends.
        const std::size_t length = std::min<std::size_t>(static_cast<std::size_t>(std::max(c.session.replyLength, 0)),
                                                         c.replyBuffer.size());
        const Result<LinkRecord> decoded = DecodeLinkRecord(c.replyBuffer.data(), length);
        if (decoded.Ok()) *last = Kept{decoded.value, logged.at};
    });
}

}  // namespace zqb
