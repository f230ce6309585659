#pragma once

#include <cstdint>

#include <QString>

namespace zqb {

// What became of one operation: an exchange, a file transfer, a firmware upload, a setting, the
// function's read or write, a file on the PC. Every core operation returns one; the windows, zqb
// and the bridge each turn it into their own texts. Nothing ever decides from those texts.
enum class OutcomeKind : std::uint8_t {
    Delivered,        // done: acknowledged, or the whole frame written where the module may stay silent
    Refused,          // the module answered with a status other than 6
    InvalidReply,     // an answer that is no reply to the command (see ReplyFault)
    NoReply,          // the whole frame was written, no answer came within the wait
    Unreachable,      // no connection, or the PC is not in the module's network (see Unreached)
    CutShort,         // a connection broke half-way: `done` of `total` bytes went through
    VerdictMismatch,  // the module's byte sum of the image differs from the PC's
    NotReadYet,       // what the operation needs has not come from the module yet
    Busy,             // another exchange runs, or another program holds the module (see BusyWith)
    InputError,       // input refused before anything was sent: `field` and `rule`
    Declined,         // the user answered No or cancelled; nothing was sent
    FileError,        // a file on the PC could not be read or written: `field` is its name
};

// Why a reply is no reply to the command.
enum class ReplyFault : std::uint8_t {
    None,
    BadMagic,      // it does not start with 5A 35 77 A5
    WrongEcho,     // it answers another command (`status` holds the echoed code)
    TooShort,      // it ends before a field the command reads (`done` of `total` bytes)
    OtherAddress,  // a link record from a module that reports another address (`field`)
    OtherModel,    // a link record from a model this console does not know (`status` holds it)
};

// Why the module could not be reached.
enum class Unreached : std::uint8_t {
    None,
    NoNetwork,        // no interface of the PC is in the module's network
    SeveralNetworks,  // more than one is
    NoConnection,     // the module did not accept a connection
    NotLoopback,      // the run is held to loopback addresses (tests) and this is none
};

enum class BusyWith : std::uint8_t {
    None,
    Exchange,      // an exchange of this program is running
    OtherProgram,  // another program on this PC holds the module for a file write
};

struct Outcome {
    OutcomeKind kind = OutcomeKind::Delivered;
    std::uint8_t command = 0;  // the command it speaks for; 0 for a file or an input check
    std::uint8_t status = 0;   // Refused: the status byte; WrongEcho: the echoed code; OtherModel: the model
    ReplyFault fault = ReplyFault::None;
    Unreached unreached = Unreached::None;
    BusyWith busy = BusyWith::None;
    std::uint64_t done = 0;    // CutShort, TooShort: bytes that went through; VerdictMismatch: the module's sum
    std::uint64_t total = 0;   // ... of these; VerdictMismatch: the PC's sum
    QString field;             // InputError, NotReadYet, FileError, OtherAddress: what it concerns
    QString rule;              // InputError: the rule broken; FileError: the system's reason
    QString detail;            // the socket's or system's own words, for logs and tool tips only

    bool Ok() const { return kind == OutcomeKind::Delivered; }
    // Nothing reached the module: the operation can be repeated as it was.
    bool NothingSent() const;

    static Outcome Done(std::uint8_t command = 0);
    static Outcome RefusedWith(std::uint8_t command, std::uint8_t status);
    static Outcome Invalid(std::uint8_t command, ReplyFault fault);
    static Outcome Silent(std::uint8_t command);
    static Outcome NotReached(std::uint8_t command, Unreached why, const QString& detail = {});
    static Outcome Cut(std::uint8_t command, std::uint64_t done, std::uint64_t total, const QString& detail = {});
    static Outcome Mismatch(std::uint8_t command, std::uint32_t moduleSum, std::uint32_t pcSum);
    static Outcome NotRead(const QString& what);
    static Outcome BusyBecause(std::uint8_t command, BusyWith why);
    static Outcome BadInput(const QString& field, const QString& rule);
    static Outcome Cancelled();
    static Outcome File(const QString& name, const QString& reason);
};

// An operation's outcome with the values it produced (present when the outcome says so).
template <class T>
struct Result {
    Outcome outcome;
    T value{};
    bool Ok() const { return outcome.Ok(); }
};

// A stable token per kind, for JSON, MQTT results and metric labels: "delivered", "refused",
// "invalid_reply", "no_reply", "unreachable", "cut_short", "verdict_mismatch", "not_read_yet",
// "busy", "input_error", "declined", "file_error".
const char* OutcomeKindName(OutcomeKind kind);

// The command's short name as the message panel gives it ("Set DO"); "command N" for a code the
// console never sends.
QString CommandName(std::uint8_t code);

// The outcome in plain words for messages and logs: "the module refused Set DO (status 3)".
// Only people read it.
QString DescribeOutcome(const Outcome& outcome);

// Why an operation failed, as the windows' failure boxes say it after "<action> failed,\n    . ":
// "the device refused it (status 3)". Empty for a delivered outcome.
QString FailureReason(const Outcome& outcome);

}  // namespace zqb
