#pragma once

// A software stand-in for the Wi-Fi I/O module (model 184), written from the module's side.
// It listens on a loopback address only (127.0.0.1 unless told another 127.x.y.z), answers the
// command protocol on its own thread, records every frame and connection it receives and
// misbehaves on demand. It shares no code with the console.

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include <QByteArray>
#include <QHostAddress>
#include <QString>

namespace zqbsim {

// Everything the module reports in its link record, plus its I/O and stored state.
//
// The settings fields (SSIDs, keys, location, Wi-Fi mode, Modbus port and idle time-out, static
// address) are the module's effective settings; configRecord is its settings file as stored, the
// bytes GetLink carries at 250..505. A fresh state's record holds its own settings fields, so a
// console that writes the module's record back with one change keeps the rest.
struct ModuleState {
    ModuleState();  // fills configRecord from the settings fields below

    std::uint8_t modelCode = 184;
    std::array<std::uint8_t, 4> reportedAddress{127, 0, 0, 1};
    std::array<std::uint8_t, 6> mac{0x00, 0x1E, 0xC0, 0x12, 0x34, 0x56};
    std::uint8_t firmwareMajor = 1;
    std::uint8_t firmwareMinor = 0x10;
    std::uint16_t modbusIdleTimeout = 120;
    QByteArray location = "Lab bench 3";
    QByteArray apSsid = "zQB-AP-123456";
    std::uint8_t apSecurity = 0;
    QByteArray apKey;
    QByteArray staSsid = "LabNet";
    std::uint8_t staKeyType = 2;
    QByteArray staKey = "secret-key";
    std::uint8_t wifiModeAp = 1;
    std::uint8_t doBits = 0;
    std::uint8_t diBits = 0;
    std::uint16_t modbusPort = 502;
    std::uint8_t staticIpEnabled = 0;
    std::array<std::uint8_t, 4> staticIp{};
    std::array<std::uint8_t, 4> staticMask{255, 255, 255, 0};
    std::array<std::uint8_t, 4> staticGateway{};
    std::uint16_t rssiWord = 0xFFD3;  // -45 dBm; 0 = not reported
    std::uint16_t dacCode = 0;
    std::uint8_t rangeFourToTwenty = 0;
    bool hasFunctionRecord = true;
    std::array<std::uint8_t, 32> functionRecord{};
    std::array<std::uint8_t, 256> configRecord{};
    std::array<std::uint32_t, 8> diCounters{};
    std::uint8_t analogMode = 1;         // byte 5 of the last SetAnalog
    std::uint8_t calibrationPoint = 0;   // last SetCalibration
    std::uint16_t calibrationCode = 0;
    std::uint8_t wifiModeRequested = 0;  // last SetWifiMode parameter
    QByteArray webKey;
    int locatorCount = 0;
    int resetCount = 0;                  // ResetModule, SetWifiMode and ClearFlashConfig restarts
    int configWrittenCount = 0;
    int flashClearCount = 0;
};

// A file written through the announcement + raw data connection. As the module does, the
// simulator takes the next connection after an announcement as the file's data, whoever opens it
// and whatever it sends (a poll of another program included); this is how it always behaves, not
// a misbehaviour to ask for.
struct StoredFile {
    QByteArray data;
    std::uint32_t announcedLength = 0;
    std::uint32_t announcedSum = 0;
    std::uint32_t byteSum = 0;  // sum of the bytes actually received, low 32 bits
    bool complete = false;      // all announced bytes arrived
};

// Ways to misbehave. Defaults are a well-behaved module.
struct Misbehaviour {
    bool silent = false;                 // accept, read, never answer (connection stays open until the peer closes)
    bool refuseConnections = false;      // stop listening: connects are refused
    std::optional<std::uint8_t> status;  // reply status other than 6, for every command
    std::map<std::uint8_t, std::uint8_t> statusFor;  // per command code; wins over `status`
    bool badMagic = false;               // reply starts 5A 35 77 A6
    std::vector<int> splitPieces;        // send the reply in pieces of these sizes (rest in a last piece)
    int pieceDelayMs = 0;                // pause between pieces
    int replyDelayMs = 0;                // pause before answering
    int replyLength = 0;                 // pad (or cut) every reply to this many bytes; 0 = natural
    bool closeWithoutReply = false;      // read the frame, then close at once
    int dropDataAfterBytes = -1;         // data connection: close after this many bytes (-1 = never)
    bool resetDataAfterAll = false;      // data connection: take every byte of the file, then reset it
    std::optional<std::uint8_t> echoOverride;  // reply byte 4 other than the command's code
    std::optional<std::uint32_t> imageSumOverride;  // answer GetImageChecksum with this sum
    std::set<std::uint8_t> silentFor;            // like `silent`, for these command codes only
    std::set<std::uint8_t> badMagicFor;          // like `badMagic`, for these command codes only
    std::map<std::uint8_t, int> replyDelayFor;   // per command code; wins over `replyDelayMs`
    // A restart (ResetModule, SetWifiMode, ClearFlashConfig) takes the module off the network
    // this long: once its reply is out, every connection closes and connects are refused, then
    // it listens again on the same address and port. 0 = back at once, connections kept.
    int restartDowntimeMs = 0;
    // An announcement closes the listener this long, before its reply goes out, so its data
    // connection is refused; then the module listens again and forgets the announcement.
    int refuseDataMs = 0;
    // Data connection: stop reading after this many bytes (-1 = never), with receive buffers kept
    // small so the peer's writes block. The connection closes after stallDataCloseMs, or as soon
    // as the peer's reset or close can be seen (0 = only then, or after a minute of silence).
    int stallDataAfterBytes = -1;
    int stallDataCloseMs = 0;
};

// One accepted connection, as the simulator's log keeps it.
struct ConnectionRecord {
    enum class Kind { Command, Data };
    Kind kind = Kind::Command;
    std::optional<std::uint8_t> code;  // command connections, once byte 4 arrived
    QByteArray fileName;               // data connections: the announced file
    qint64 bytesReceived = 0;          // everything read, past the frame or file included
    // Everything the module's TCP stack took, read or not: what was read, and what still waited
    // unread in the stack when the connection ended. The PC's side sees these bytes acknowledged.
    qint64 bytesAcknowledged = 0;
    // Openings and closes draw from one counter, so any two events compare; 0 = still open.
    std::uint64_t openedSeq = 0;
    std::uint64_t closedSeq = 0;
};

class ModuleSimulator {
public:
    ModuleSimulator();
    ~ModuleSimulator();
    ModuleSimulator(const ModuleSimulator&) = delete;
    ModuleSimulator& operator=(const ModuleSimulator&) = delete;

    // Starts listening on address:port (0 = an ephemeral port) on the simulator's own thread.
    // Returns once it listens; false when the address is not IPv4 loopback (127.0.0.0/8), the
    // port is taken or it already runs. Needs a QCoreApplication. State, frames, connections and
    // files survive Stop() and a later Start().
    bool Start(std::uint16_t port = 0, const QHostAddress& address = QHostAddress(QHostAddress::LocalHost));
    void Stop();
    std::uint16_t Port() const;     // the port last listened on, also after Stop()
    QHostAddress Address() const;   // the address last listened on, also after Stop()

    // SetState and Update keep the settings file in step with the settings fields: each field the
    // call changes is patched into configRecord, and no other byte (calibration points, unused
    // bytes, the tail of a text area) moves. A call that leaves every settings field alone leaves
    // the file alone too, so a file written over the network and not yet applied by a restart
    // survives it; a call that changes a field patches that field into such a file as well, and
    // the restart then applies it with the file. A call that writes configRecord itself is taken
    // as the file the caller wants, and nothing is patched into it.
    ModuleState State() const;
    void SetState(const ModuleState& state);
    // Runs `change` under the state lock: it must not call back into the simulator.
    void Update(const std::function<void(ModuleState&)>& change);

    Misbehaviour Behaviour() const;
    // Misbehaviour shapes replies only; commands still take effect.
    void SetBehaviour(const Misbehaviour& behaviour);

    // Every command frame received, in order, exactly as it arrived (data connections excluded).
    std::vector<QByteArray> Frames() const;
    void ClearFrames();
    // Waits (without running the caller's event loop) until at least `count` frames arrived.
    bool WaitForFrames(std::size_t count, int timeoutMs) const;
    int ConnectionCount() const;  // accepted connections, data connections included
    // Every accepted connection since the last ClearConnections, in the order accepted. An entry
    // still open goes on being updated; one cleared away is not brought back.
    std::vector<ConnectionRecord> Connections() const;
    void ClearConnections();

    std::map<QByteArray, StoredFile> Files() const;
    // Waits until the named file holds all announced bytes.
    bool WaitForFile(const QByteArray& name, int timeoutMs) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace zqbsim
