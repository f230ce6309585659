#include "cli/OutputRules.h"

#include <algorithm>

#include "cli/AnalogTarget.h"
#include "protocol/CommandCodes.h"

namespace zqb::cli {

std::int32_t ShownCode(std::int32_t code) { return std::clamp(code, 0, MaxDacCode); }

Outcome JudgeSetDo(bool asked, std::uint8_t reportedDoBits)
{
    const bool out = (reportedDoBits & 1) != 0;
    if (out == asked) return Outcome::Done(SetDo);
    return Outcome::Mismatch(SetDo, out ? 1 : 0, asked ? 1 : 0);
}

bool RangeRaisesOutput(bool fourToTwenty, std::int32_t reportedCode)
{
    return fourToTwenty && ShownCode(reportedCode) < FourMilliampCode;
}

}  // namespace zqb::cli
