// Module replies, step by step, into one fresh link. A step is: a selector picking the command in
// flight (0 or one of the console's codes), a flags byte, a 16-bit length and that many reply
// bytes. The host network has no interface at all, so every link check fails, and each reply is
// handled with ExchangeBusy held, as the transport does: no re-issue ever reaches a socket.

#include <array>

#include "protocol/CommandCodes.h"
#include "FuzzSupport.h"
#include "link/ModuleLink.h"
#include "protocol/QuietDisplay.h"
#include "link/SimulatedHostNetwork.h"

namespace {

using namespace zqb;

constexpr std::array<std::uint8_t, 21> Codes = {
    NoCommand,     SetLocator,   GetLink,        GetImageChecksum, SendImageChecksum, ResetModule,
    SetWifiMode,   SetWebKey,    BeginImageWriteLegacy, ClearFlashConfig, BeginFileWrite, GetDiCounters,
    ClearDiCounter, SetDo,       SetAnalog,      SetCalibration,   SetOutputRange,    SetFunctionConfig,
    GetIoStatus,   ConfigWritten, GetFunctionConfig,
};

bool InTable(std::uint8_t code) { return std::find(Codes.begin(), Codes.end(), code) != Codes.end(); }

bool HasControlCharacter(const QString& text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) {
        const char16_t u = c.unicode();
        return u < 0x20 || (u >= 0x7F && u < 0xA0);
    });
}

// Shows nothing; only the location label is watched.
class WatchingDisplay : public QuietDisplay {
public:
    // Module text reaches a one-line label: control characters must arrive as visible symbols.
    void SetLocationText(const QString& text) override { FUZZ_CHECK(!HasControlCharacter(text)); }
};

class NoPauses : public Pauses {
public:
    void Pause(int) override {}
};

QString ReportedAddress(const ReplyBuffer& reply)
{
    const std::uint8_t* a = &reply[SpanOf(LinkField::moduleAddress).offset];
    return QStringLiteral("%1.%2.%3.%4").arg(a[0]).arg(a[1]).arg(a[2]).arg(a[3]);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qputenv("ZQB_LOOPBACK_ONLY", "1");  // a second guard: the transport would refuse any other address
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::Input in(data, size);
    SimulatedHostNetwork backend;
    HostNetwork network(backend, [](const std::string&) {});
    WatchingDisplay display;
    fuzz::RecordingDialogs dialogs;
    NoPauses pauses;
    ModuleLink link(display, network, dialogs, pauses, std::string());
    SessionContext& context = link.Context();
    DeviceSession& s = context.session;
    link.AimAt(QStringLiteral("127.0.0.1"), DefaultHostPort);

    while (in.Left() >= 4) {
        const std::uint8_t code = Codes[in.Byte() % Codes.size()];
        const std::uint8_t flags = in.Byte();
        const std::size_t length = std::min<std::size_t>(in.Word(), context.replyBuffer.size());
        const QByteArray reply = in.Bytes(length);

        const DeviceSession before = s;
        s.commandInFlight = code;
        s.overdueLimit = flags & 3;
        // What reply handling alone made of the reply: the re-issue after it may go on to the link
        // check, which unlinks a console whose PC has no interface in the module's network.
        DeviceSession handled = s;
        {
            BusyScope busy(context);
            if (flags & 4) {
                s.replyOverdue = 1;  // nothing came back
            } else {
                // As the transport reads: the head cleared, the rest keeps the earlier reply.
                std::fill_n(context.replyBuffer.begin(), ReplyClearedBytes, std::uint8_t{0});
                std::copy(reply.begin(), reply.end(), context.replyBuffer.begin());
                link.Replies().HandleReply(static_cast<std::size_t>(reply.size()));
                // An image check whose reply is no verdict is marked overdue so that it is asked again.
                FUZZ_CHECK(s.replyLength == reply.size() &&
                           (s.replyOverdue == 0 || (code == GetImageChecksum && s.replyOverdue == 1)));
                handled = s;
            }
            FUZZ_CHECK(InTable(s.commandInFlight));
            link.Replies().ReissueCommand();
        }
        FUZZ_CHECK(InTable(s.commandInFlight));

        const ReplyBuffer& r = context.replyBuffer;
        const auto replyLength = static_cast<std::size_t>(reply.size());
        const bool acknowledgedLink = !(flags & 4) && code == GetLink && replyLength > StatusOffset &&
                                      std::equal(FrameMagic.begin(), FrameMagic.end(), r.begin()) &&
                                      r[CodeOffset] == GetLink && r[StatusOffset] == StatusAcknowledged;
        // Whole: every field of its model, up to the settings record for model 184.
        const std::size_t model = SpanOf(LinkField::modelCode).offset;
        const std::size_t whole = replyLength > model && r[model] == SupportedModelCode ? LinkRecordLength
                                                                                         : SpanOf(LinkField::functionRecord).End();
        const bool linkRecord = acknowledgedLink && replyLength >= whole;
        if (acknowledgedLink && !linkRecord) {
            // A record cut short is no record: nothing of it is taken.
            FUZZ_CHECK(handled.linked == before.linked && handled.locationText == before.locationText);
            FUZZ_CHECK(handled.modbusPort == before.modbusPort && handled.staSsid == before.staSsid);
            FUZZ_CHECK(handled.functionRecord == before.functionRecord);
        }
        if (linkRecord && ReportedAddress(r) != handled.hostAddress) {
            // Another module answered: nothing of its record may link or replace ours.
            FUZZ_CHECK(handled.linked == before.linked);
            FUZZ_CHECK(handled.locationText == before.locationText && handled.apSsid == before.apSsid);
            FUZZ_CHECK(handled.functionRecord == before.functionRecord);
            FUZZ_CHECK(handled.deviceConfigRecord == before.deviceConfigRecord &&
                       handled.deviceConfigRecordValid == before.deviceConfigRecordValid);
        } else if (linkRecord) {
            FUZZ_CHECK(handled.linked == 1);
        }
        // The settings copy is only ever replaced by a whole link record.
        if (s.deviceConfigRecord != before.deviceConfigRecord || s.deviceConfigRecordValid != before.deviceConfigRecordValid)
            FUZZ_CHECK(linkRecord && replyLength >= LinkRecordLength);

        for (int tick = 0; tick < (flags >> 3 & 7); ++tick) {
            // Re-issuing the image check goes to the transport: those ticks are held off.
            const bool toTransport = s.commandInFlight == GetImageChecksum || s.commandInFlight == SendImageChecksum;
            context.ExchangeBusy = toTransport;
            link.Replies().OverdueTick();
            context.ExchangeBusy = false;
            FUZZ_CHECK(InTable(s.commandInFlight));
        }
    }
    return 0;
}
