#pragma once

#include <cstddef>

#include "protocol/CommandCodes.h"
#include "protocol/CommandTransport.h"
#include "protocol/DeviceDisplay.h"
#include "protocol/LinkGate.h"
#include "protocol/LinkRecord.h"
#include "protocol/RecordLayouts.h"
#include "protocol/SessionContext.h"

namespace zqb {

// Turns each reply into the device state, picked by the command recorded as in flight, and
// sends again what went unanswered. A reply that is no valid answer to the command in flight (a
// wrong echo, or too short for the fields read) changes nothing.
class ReplyHandler {
public:
    ReplyHandler(SessionContext& context, DeviceDisplay& display, CommandTransport& transport, LinkGate& link);

    // `length` bytes of ReplyBuffer hold the reply.
    void HandleReply(std::size_t length);
    // Sends the command in flight again, as far as it can be.
    void ReissueCommand();
    // One tick of the 100 ms transfer timer: watches a reply that did not come.
    void OverdueTick();

private:
    void TakeLinkRecord(const LinkRecord& record);
    void TakeIoStatus();
    void TakeImageChecksum();
    void TakeFunctionConfig();
    void ShowSignalStrength(std::uint16_t word);
    void ClearInFlightWith(const QString& message);
    void ReportRefusal(std::uint8_t code);
    void ReportInvalid(std::uint8_t code, ReplyFault fault, std::size_t length, std::size_t needed);
    // The image check ends: the verdict is kept, shown, and the module is free again.
    void EndImageCheck(const Outcome& verdict, const QString& text);

    std::uint8_t Byte(FieldSpan field) const { return context_.replyBuffer[field.offset]; }
    std::uint16_t Word(FieldSpan field) const { return GetU16(&context_.replyBuffer[field.offset]); }
    std::uint32_t Long(FieldSpan field) const { return GetU32(&context_.replyBuffer[field.offset]); }
    const std::uint8_t* At(FieldSpan field) const { return &context_.replyBuffer[field.offset]; }

    SessionContext& context_;
    DeviceDisplay& display_;
    CommandTransport& transport_;
    LinkGate& link_;
    // Why the image check's last re-issue brought no verdict: unanswered, or never reached.
    Outcome checkMiss_ = Outcome::Silent(GetImageChecksum);
};

inline const QString InvalidHeaderText = QStringLiteral("InValid Header package!");
inline const QString ChecksumMatchText = QStringLiteral("F/W update Complete! Reboot to take effect");
inline const QString ChecksumMismatchText = QStringLiteral("Update F/W fail with Error! Please retry again.");
inline const QString RetryTimeoutText = QStringLiteral("Retry timeout, abort transfer!");

// "Set Function Cfg. refused (status 21)": what a command's refusal shows, short enough for the
// message panel.
QString RefusalText(std::uint8_t code, std::uint8_t status);
// "Set DO invalid reply": what an answer that is no reply to the command shows.
QString InvalidReplyText(std::uint8_t code);

}  // namespace zqb
