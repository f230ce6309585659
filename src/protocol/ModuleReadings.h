#pragma once

#include <cstdint>

#include "protocol/CommandTransport.h"
#include "protocol/Outcome.h"
#include "protocol/SessionContext.h"

namespace zqb {

// The output and inputs a reply reports.
struct IoBits {
    std::uint8_t doBits = 0;
    std::uint8_t diBits = 0;
};

// What GetIoStatus reports.
struct IoReading {
    IoBits bits;
    std::int32_t dacCode = 0;
    bool fourToTwenty = false;
    std::uint16_t signalWord = 0;  // the last the module reported (a reply without one keeps it); 0 = none yet
};

// What GetDiCounters reports.
struct CounterReading {
    std::uint32_t di0 = 0;
    std::uint32_t di1 = 0;
};

// The exchanges that bring values, each with the values its reply brought, as reply handling
// took them: a caller never reads them back from the session. The values are there only when the
// outcome is delivered.
Result<IoReading> ReadIoStatus(SessionContext& context, CommandTransport& transport);
// SetDo for `output`, and the states the module reports afterwards.
Result<IoBits> SetDigitalOutput(SessionContext& context, CommandTransport& transport, std::uint8_t output, std::uint8_t level);
Result<CounterReading> ReadDiCounters(SessionContext& context, CommandTransport& transport);

}  // namespace zqb
