#include "protocol/ModuleReadings.h"

#include "protocol/CommandBuilders.h"
#include "protocol/CommandCodes.h"

namespace zqb {

namespace {

IoBits BitsOf(const DeviceSession& s) { return {s.doState, s.diState}; }

}  // namespace

Result<IoReading> ReadIoStatus(SessionContext& context, CommandTransport& transport)
{
    Result<IoReading> r;
    r.outcome = transport.Exchange(GetIoStatus, [](CommandFrame& f) { return BuildGetIoStatus(f); });
    if (!r.Ok()) return r;
    const DeviceSession& s = context.session;
    r.value = {BitsOf(s), s.dacCode, s.fourToTwenty != 0, s.signalWord};
    return r;
}

Result<IoBits> SetDigitalOutput(SessionContext& context, CommandTransport& transport, std::uint8_t output, std::uint8_t level)
{
    Result<IoBits> r;
    r.outcome = transport.Exchange(SetDo, [output, level](CommandFrame& f) { return BuildSetDo(f, output, level); });
    if (r.Ok()) r.value = BitsOf(context.session);
    return r;
}

Result<CounterReading> ReadDiCounters(SessionContext& context, CommandTransport& transport)
{
    Result<CounterReading> r;
    r.outcome = transport.Exchange(GetDiCounters, [](CommandFrame& f) { return BuildGetDiCounters(f, 0, 0); });
    if (r.Ok()) r.value = {context.session.diCount0, context.session.diCount1};
    return r;
}

}  // namespace zqb
