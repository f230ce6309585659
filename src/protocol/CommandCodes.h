#pragma once

#include <cstdint>

namespace zqb {

// Every command the console sends to the module; the value is the code in byte 4 of the frame.
enum CommandCode : std::uint8_t {
    NoCommand = 0,
    SetLocator = 29,
    GetLink = 33,
    GetImageChecksum = 37,
    SendImageChecksum = 38,
    ResetModule = 45,
    SetWifiMode = 48,
    SetWebKey = 50,
    BeginImageWriteLegacy = 90,
    ClearFlashConfig = 94,
    BeginFileWrite = 95,
    GetDiCounters = 96,
    ClearDiCounter = 97,
    SetDo = 208,
    SetAnalog = 212,
    SetCalibration = 213,
    SetOutputRange = 214,
    SetFunctionConfig = 215,
    GetIoStatus = 216,
    ConfigWritten = 220,
    GetFunctionConfig = 223,
};

// The status byte of a reply that says the command was carried out.
constexpr std::uint8_t StatusAcknowledged = 6;

// The only module model this console knows.
constexpr std::uint8_t SupportedModelCode = 184;

}  // namespace zqb
