#pragma once

#include <cstddef>
#include <cstdint>

#include <QByteArray>

#include "protocol/DeviceSession.h"
#include "protocol/Frames.h"

namespace zqb {

// Each builder writes the command code into byte 4 and its parameters from byte 5 on, touches
// no other byte, and returns the frame length to hand to the transport. The transport adds
// FrameMagic in bytes 0-3 just before sending.

std::size_t BuildSetLocator(CommandFrame& frame, std::uint8_t param1, std::uint8_t param2);
// A queued command as the link timer sends it: the code and the queue's parameter pair, 7 bytes.
std::size_t BuildQueuedCommand(CommandFrame& frame, std::uint8_t code, std::uint8_t param1, std::uint8_t param2);
std::size_t BuildGetLink(CommandFrame& frame);
std::size_t BuildGetImageChecksum(CommandFrame& frame, std::uint32_t imageSum);
std::size_t BuildSendImageChecksum(CommandFrame& frame, std::uint32_t imageSum);
std::size_t BuildResetModule(CommandFrame& frame);
// mode: 2 = access point, 0 = station.
std::size_t BuildSetWifiMode(CommandFrame& frame, std::uint8_t mode);
// The key's length travels in one byte and the frame length too: at most 249 key bytes are sent.
std::size_t BuildSetWebKey(CommandFrame& frame, const QByteArray& key);
inline constexpr std::size_t MaxWebKeyBytes = 249;
std::size_t BuildClearFlashConfig(CommandFrame& frame);
std::size_t BuildGetDiCounters(CommandFrame& frame, std::uint8_t param1, std::uint8_t param2);
std::size_t BuildClearDiCounter(CommandFrame& frame, std::uint8_t input);
std::size_t BuildSetDo(CommandFrame& frame, std::uint8_t select, std::uint8_t level);
// mode: 1 in normal use, 0 while calibration is selected.
std::size_t BuildSetAnalog(CommandFrame& frame, std::uint8_t mode, std::uint16_t code);
// point: 0 = 10 V point, 1 = 4 mA point.
std::size_t BuildSetCalibration(CommandFrame& frame, std::uint8_t point, std::uint16_t code);
// range: 1 = 4-20 mA, 0 = 0-20 mA.
std::size_t BuildSetOutputRange(CommandFrame& frame, std::uint8_t range);
std::size_t BuildSetFunctionConfig(CommandFrame& frame, const FunctionRecord& record);
std::size_t BuildGetIoStatus(CommandFrame& frame);
std::size_t BuildConfigWritten(CommandFrame& frame);
std::size_t BuildGetFunctionConfig(CommandFrame& frame);

// File announcement (BeginFileWrite or BeginImageWriteLegacy): clears the first frameLength
// bytes, then length, byte sum, name length and name. The name is cut to what fits the frame.
std::size_t BuildFileAnnouncement(CommandFrame& frame, std::uint8_t code, std::size_t frameLength,
                                  std::uint32_t fileLength, std::uint32_t byteSum, const QByteArray& name);
inline constexpr std::size_t FileAnnouncementLength = 60;
inline constexpr std::size_t ImageAnnouncementLength = 40;
inline constexpr std::size_t AnnouncementNameOffset = 17;

}  // namespace zqb
