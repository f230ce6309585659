#include "protocol/CommandBuilders.h"

#include <algorithm>

#include "protocol/CommandCodes.h"

namespace zqb {

namespace {

std::size_t Code(CommandFrame& frame, std::uint8_t code)
{
    frame[CodeOffset] = code;
    return 5;
}

std::size_t CodeAndByte(CommandFrame& frame, std::uint8_t code, std::uint8_t value)
{
    frame[CodeOffset] = code;
    frame[5] = value;
    return 6;
}

std::size_t CodeAndPair(CommandFrame& frame, std::uint8_t code, std::uint8_t first, std::uint8_t second)
{
    frame[CodeOffset] = code;
    frame[5] = first;
    frame[6] = second;
    return 7;
}

std::size_t CodeByteAndWord(CommandFrame& frame, std::uint8_t code, std::uint8_t value, std::uint16_t word)
{
    frame[CodeOffset] = code;
    frame[5] = value;
    PutU16(&frame[6], word);
    return 8;
}

std::size_t CodeAndSum(CommandFrame& frame, std::uint8_t code, std::uint32_t sum)
{
    frame[CodeOffset] = code;
    PutU32(&frame[5], sum);
    return 9;
}

}  // namespace

std::size_t BuildSetLocator(CommandFrame& f, std::uint8_t p1, std::uint8_t p2) { return CodeAndPair(f, SetLocator, p1, p2); }
std::size_t BuildQueuedCommand(CommandFrame& f, std::uint8_t code, std::uint8_t p1, std::uint8_t p2)
{
    switch (code) {
    case SetLocator: return BuildSetLocator(f, p1, p2);
    case GetDiCounters: return BuildGetDiCounters(f, p1, p2);
    case SetDo: return BuildSetDo(f, p1, p2);
    default: return CodeAndPair(f, code, p1, p2);  // GetLink carries the pair RequestLink set to 0, 0
    }
}
std::size_t BuildGetLink(CommandFrame& f) { return CodeAndPair(f, GetLink, 0, 0); }
std::size_t BuildGetImageChecksum(CommandFrame& f, std::uint32_t sum) { return CodeAndSum(f, GetImageChecksum, sum); }
std::size_t BuildSendImageChecksum(CommandFrame& f, std::uint32_t sum) { return CodeAndSum(f, SendImageChecksum, sum); }
std::size_t BuildResetModule(CommandFrame& f) { return Code(f, ResetModule); }
std::size_t BuildSetWifiMode(CommandFrame& f, std::uint8_t mode) { return CodeAndByte(f, SetWifiMode, mode); }
std::size_t BuildClearFlashConfig(CommandFrame& f) { return CodeAndByte(f, ClearFlashConfig, 1); }
std::size_t BuildGetDiCounters(CommandFrame& f, std::uint8_t p1, std::uint8_t p2) { return CodeAndPair(f, GetDiCounters, p1, p2); }
std::size_t BuildClearDiCounter(CommandFrame& f, std::uint8_t input) { return CodeAndByte(f, ClearDiCounter, input); }
std::size_t BuildSetDo(CommandFrame& f, std::uint8_t select, std::uint8_t level) { return CodeAndPair(f, SetDo, select, level); }
std::size_t BuildSetAnalog(CommandFrame& f, std::uint8_t mode, std::uint16_t code) { return CodeByteAndWord(f, SetAnalog, mode, code); }
std::size_t BuildSetCalibration(CommandFrame& f, std::uint8_t point, std::uint16_t code) { return CodeByteAndWord(f, SetCalibration, point, code); }
std::size_t BuildSetOutputRange(CommandFrame& f, std::uint8_t range) { return CodeAndByte(f, SetOutputRange, range); }
std::size_t BuildGetIoStatus(CommandFrame& f) { return Code(f, GetIoStatus); }
std::size_t BuildConfigWritten(CommandFrame& f) { return Code(f, ConfigWritten); }
std::size_t BuildGetFunctionConfig(CommandFrame& f) { return Code(f, GetFunctionConfig); }

std::size_t BuildSetWebKey(CommandFrame& f, const QByteArray& key)
{
    const auto n = std::min<std::size_t>(static_cast<std::size_t>(key.size()), MaxWebKeyBytes);
    f[CodeOffset] = SetWebKey;
    f[5] = static_cast<std::uint8_t>(n);
    std::copy_n(key.constData(), n, f.begin() + 6);
    return n + 6;
}

std::size_t BuildSetFunctionConfig(CommandFrame& f, const FunctionRecord& record)
{
    f[CodeOffset] = SetFunctionConfig;
    f[5] = 1;
    std::copy(record.begin(), record.end(), f.begin() + 6);
    return 6 + record.size();
}

std::size_t BuildFileAnnouncement(CommandFrame& f, std::uint8_t code, std::size_t frameLength,
                                  std::uint32_t fileLength, std::uint32_t byteSum, const QByteArray& name)
{
    frameLength = std::clamp<std::size_t>(frameLength, AnnouncementNameOffset, f.size());
    std::fill_n(f.begin(), frameLength, std::uint8_t{0});
    f[CodeOffset] = code;
    PutU32(&f[5], fileLength);
    PutU32(&f[9], byteSum);
    const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(name.size()),
                                                frameLength - AnnouncementNameOffset);
    f[16] = static_cast<std::uint8_t>(n);
    std::copy_n(name.constData(), n, f.begin() + AnnouncementNameOffset);
    return frameLength;
}

}  // namespace zqb
