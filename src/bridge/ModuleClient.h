#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "protocol/LinkRecord.h"
#include "protocol/Outcome.h"

namespace zqb::bridge {

// The I/O state one GetIoStatus reply reports.
struct IoState {
    bool di0 = false;
    bool di1 = false;
    bool out = false;
    std::int32_t dacCode = 0;  // as zqb and the window show it: 0-4095
    bool fourToTwenty = false;
    std::uint16_t signalWord = 0;  // 0: not reported
    friend bool operator==(const IoState&, const IoState&) = default;
};

struct Counters {
    std::array<std::uint32_t, 2> values{};
    friend bool operator==(const Counters&, const Counters&) = default;
};

// One module as the bridge needs it: reads and commands, each with its typed outcome, and a look
// at the module's lock. Every call blocks its thread until the exchange is over; each module has
// a thread of its own, so a silent module only ever holds itself up.
class ModuleClient {
public:
    virtual ~ModuleClient() = default;

    virtual Result<IoState> ReadIo() = 0;
    virtual Result<LinkRecord> ReadLink() = 0;
    virtual Result<Counters> ReadCounters() = 0;
    // Delivered only when the module's acknowledgement reports the output as asked (else a
    // verdict mismatch, as zqb says).
    virtual Outcome SetDo(bool on) = 0;
    virtual Outcome SetAnalog(std::uint16_t code) = 0;
    virtual Outcome SetRange(bool fourToTwenty) = 0;
    virtual Outcome ClearCounter(std::uint8_t input) = 0;
    virtual Outcome Locate() = 0;
    // True while another program holds the module for a file write: leave it alone meanwhile.
    virtual bool HeldElsewhere() = 0;
};

}  // namespace zqb::bridge
