#pragma once

#include <cstddef>

#include "CommandTransport.h"
#include "DeviceDisplay.h"
#include "LinkGate.h"
#include "SessionContext.h"

namespace zqb {

// Turns each reply into the device state, picked by the command recorded as in flight, and
// sends again what went unanswered.
class ReplyHandler {
public:
    ReplyHandler(SessionContext& context, DeviceDisplay& display, CommandTransport& transport);

    void SetLinkGate(LinkGate* gate) { gate_ = gate; }

    // `length` bytes of ReplyBuffer hold the reply.
    void HandleReply(std::size_t length);
    // Sends the command in flight again, as far as it can be.
    void ReissueCommand();
    // One tick of the 100 ms transfer timer: watches a reply that did not come.
    void OverdueTick();

private:
    void TakeLinkRecord();
    void TakeIoStatus();
    void TakeImageChecksum();
    void TakeFunctionConfig();
    void ShowSignalStrength(std::size_t offset);
    void ClearInFlightWith(const QString& message);

    std::uint8_t B(std::size_t offset) const { return context_.replyBuffer[offset]; }
    std::uint16_t W(std::size_t offset) const { return GetU16(&context_.replyBuffer[offset]); }
    std::uint32_t L(std::size_t offset) const { return GetU32(&context_.replyBuffer[offset]); }

    SessionContext& context_;
    DeviceDisplay& display_;
    CommandTransport& transport_;
    LinkGate* gate_ = nullptr;
};

inline const QString InvalidHeaderText = QStringLiteral("InValid Header package!");
inline const QString ModelName184 = QStringLiteral("zQB-AO4K DAC Node");
inline const QString UnknownModelText = QStringLiteral("Unknow Device??");
inline const QString ChecksumMatchText = QStringLiteral("F/W update Complete! Reboot to take effect");
inline const QString ChecksumMismatchText = QStringLiteral("Update F/W fail with Error! Please retry again.");

}  // namespace zqb
