#pragma once

// What the module does with one complete command frame, kept apart from the sockets so that the
// byte layouts live in one place. Everything here runs under the simulator's state lock.

#include <array>
#include <cstdint>
#include <map>
#include <optional>

#include <QByteArray>

#include "sim/ModuleSimulator.h"

namespace zqbsim::logic {

inline constexpr std::uint8_t kStatusDone = 6;
inline constexpr int kShortAnnouncement = 40;  // image upload, sent without waiting
inline constexpr int kLongAnnouncement = 60;   // file transfer, waits for a status reply
inline const QByteArray kConfigFileName = "/local/syscfg.cfg";
inline const QByteArray kImageName = "/sys/mcuimg.bin";
inline const QByteArray kLegacyImageName = "mcuimg.bin";

// The module's flash and state as one unit, so a command sees both at once.
struct ModuleCore {
    ModuleState state;
    std::map<QByteArray, StoredFile> files;
    bool configFilePending = false;  // a complete configuration file arrived since the last restart
};

// An announced file whose raw bytes come on the next connection.
struct Announcement {
    QByteArray name;
    std::uint32_t length = 0;
    std::uint32_t sum = 0;
};

struct Outcome {
    std::optional<QByteArray> reply;           // natural reply, before any misbehaviour
    std::optional<Announcement> announcement;  // the next connection carries this file
    bool restart = false;                      // the module reboots once the reply is out
};

// True while the bytes so far can still be the start of the magic.
bool MagicSoFar(const QByteArray& frame);
// Enough bytes to act on the frame (code 95 counts as complete from 40 bytes on).
bool FrameComplete(const QByteArray& frame);
// Code 95 between its short and long form: more may still come.
bool MayGrow(const QByteArray& frame);

// Carries out a complete, well-formed frame.
Outcome Execute(const QByteArray& frame, ModuleCore& core);

// Reboot: a configuration file written since the last restart takes effect.
void Restart(ModuleCore& core);

// Opens the announced file for writing; AppendFileData fills it from the data connection.
void BeginFile(ModuleCore& core, const Announcement& announcement);
// Returns true when this call completed the file.
bool AppendFileData(ModuleCore& core, const QByteArray& name, const QByteArray& bytes);

QByteArray LinkRecord(const ModuleState& state);
// Takes the fields of a 256-byte configuration record into the state.
void ApplyConfigRecord(const std::array<std::uint8_t, 256>& record, ModuleState& state);
// What the flash holds after ClearFlashConfig.
std::array<std::uint8_t, 256> DefaultConfigRecord(const ModuleState& state);
// The state's settings fields written over `base`. Bytes no field owns, and the part of a text
// area past its text, keep what `base` held, as the module's own writer leaves them.
std::array<std::uint8_t, 256> SettingsRecord(const ModuleState& state, std::array<std::uint8_t, 256> base = {});
// Writes into after.configRecord the settings fields that differ between `before` and `after`,
// and nothing else.
void PatchChangedSettings(const ModuleState& before, ModuleState& after);
// The record a complete configuration file stands for: its first 256 bytes; a shorter file
// leaves the rest zero, as the module reads past its end.
std::array<std::uint8_t, 256> RecordFromFile(const QByteArray& data);

std::uint32_t ByteSum(const QByteArray& bytes, std::uint32_t start = 0);

// Applies the reply-side misbehaviour (image sum, magic, echo, status, length) to a natural reply.
QByteArray ShapeReply(QByteArray reply, std::uint8_t code, const Misbehaviour& behaviour);

}  // namespace zqbsim::logic
