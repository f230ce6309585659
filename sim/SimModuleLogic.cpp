#include "sim/SimModuleLogic.h"

#include <algorithm>

namespace zqbsim::logic {

namespace {

constexpr std::array<std::uint8_t, 4> kMagic{0x5A, 0x35, 0x77, 0xA5};

// Command codes, as the module knows them.
enum Code : std::uint8_t {
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

// Configuration record offsets.
enum Cfg : int {
    ApSsidLen = 0,
    ApKeyLen = 32,
    StaSsidLen = 48,
    StaKeyLen = 80,
    StaticIpSet = 96,
    StaticIp = 97,
    StaticMask = 101,
    StaticGateway = 105,
    LocationLen = 128,
    WifiModeSet = 160,
    WifiMode = 161,
    ModbusPortSet = 164,
    ModbusPort = 165,
    StaKeyTypeSet = 168,
    StaKeyType = 169,
    IdleTimeoutSet = 172,
    IdleTimeout = 173,
    Cal10VSet = 192,
    Cal10VCode = 193,
    Cal4mASet = 200,
    Cal4mACode = 201,
};

std::uint8_t At(const QByteArray& bytes, int i)
{
    return i < bytes.size() ? static_cast<std::uint8_t>(bytes[i]) : 0;
}

std::uint16_t Get16(const QByteArray& bytes, int i)
{
    return static_cast<std::uint16_t>(At(bytes, i) << 8 | At(bytes, i + 1));
}

std::uint32_t Get32(const QByteArray& bytes, int i)
{
    return static_cast<std::uint32_t>(At(bytes, i)) << 24 | static_cast<std::uint32_t>(At(bytes, i + 1)) << 16 |
           static_cast<std::uint32_t>(At(bytes, i + 2)) << 8 | At(bytes, i + 3);
}

void Put16(QByteArray& bytes, int i, std::uint16_t v)
{
    bytes[i] = static_cast<char>(v >> 8);
    bytes[i + 1] = static_cast<char>(v & 0xFF);
}

void Put32(QByteArray& bytes, int i, std::uint32_t v)
{
    for (int k = 0; k < 4; ++k) bytes[i + k] = static_cast<char>(v >> (24 - 8 * k));
}

template <std::size_t N>
void PutBytes(QByteArray& bytes, int i, const std::array<std::uint8_t, N>& from)
{
    for (std::size_t k = 0; k < N; ++k) bytes[i + static_cast<int>(k)] = static_cast<char>(from[k]);
}

// Text cut to the field; a text that fills its field has no terminator.
void PutText(QByteArray& bytes, int i, int width, const QByteArray& text)
{
    const int n = std::min<int>(width, static_cast<int>(text.size()));
    for (int k = 0; k < n; ++k) bytes[i + k] = text[k];
}

QByteArray StatusReply(std::uint8_t code, int size = 6)
{
    QByteArray reply(size, '\0');
    PutBytes(reply, 0, kMagic);
    reply[4] = static_cast<char>(code);
    reply[5] = static_cast<char>(kStatusDone);
    return reply;
}

int FrameLength(const QByteArray& frame)
{
    switch (At(frame, 4)) {
    case SetLocator:
    case GetLink:
    case GetDiCounters:
    case SetDo: return 7;
    case GetImageChecksum:
    case SendImageChecksum: return 9;
    case SetWifiMode:
    case ClearFlashConfig:
    case ClearDiCounter:
    case SetOutputRange: return 6;
    case SetWebKey: return frame.size() < 6 ? 6 : 6 + At(frame, 5);
    case SetAnalog:
    case SetCalibration: return 8;
    case SetFunctionConfig: return 38;
    case BeginImageWriteLegacy: return kShortAnnouncement;
    case BeginFileWrite: return kLongAnnouncement;
    default: return 5;  // unknown codes and the bare commands
    }
}

Announcement ReadAnnouncement(const QByteArray& frame, bool legacy)
{
    Announcement a;
    a.length = Get32(frame, 5);
    a.sum = Get32(frame, 9);
    if (legacy) {
        a.name = kLegacyImageName;
    } else {
        const int n = At(frame, 16);
        a.name = frame.mid(17, n);
    }
    return a;
}

// A length byte plus its area; a length that does not fit leaves the setting as it was.
void TakeText(const std::array<std::uint8_t, 256>& record, int lengthAt, int area, QByteArray& into)
{
    const int n = record[static_cast<std::size_t>(lengthAt)];
    if (n > area) return;
    into = QByteArray(reinterpret_cast<const char*>(record.data()) + lengthAt + 1, n);
}

std::uint16_t Record16(const std::array<std::uint8_t, 256>& record, int i)
{
    return static_cast<std::uint16_t>(record[static_cast<std::size_t>(i)] << 8 | record[static_cast<std::size_t>(i + 1)]);
}

std::array<std::uint8_t, 4> Record4(const std::array<std::uint8_t, 256>& record, int i)
{
    std::array<std::uint8_t, 4> out{};
    std::copy_n(record.begin() + i, 4, out.begin());
    return out;
}

void PatchRecord16(std::array<std::uint8_t, 256>& record, int i, std::uint16_t v)
{
    record[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> 8);
    record[static_cast<std::size_t>(i + 1)] = static_cast<std::uint8_t>(v & 0xFF);
}

void PatchRecordText(std::array<std::uint8_t, 256>& record, int lengthAt, int area, const QByteArray& text)
{
    const int n = std::min<int>(area, static_cast<int>(text.size()));
    record[static_cast<std::size_t>(lengthAt)] = static_cast<std::uint8_t>(n);
    std::copy_n(text.begin(), n, record.begin() + lengthAt + 1);
}

using Record = std::array<std::uint8_t, 256>;

void PatchRecord4(Record& record, int i, const std::array<std::uint8_t, 4>& v)
{
    std::copy(v.begin(), v.end(), record.begin() + i);
}

// Each setting the record carries: how to tell it changed, and how it is written. The AP key
// length doubles as the security switch, so key and security travel together.
struct SettingsField {
    bool (*differs)(const ModuleState&, const ModuleState&);
    void (*write)(const ModuleState&, Record&);
};

const SettingsField kSettingsFields[] = {
    {[](const ModuleState& a, const ModuleState& b) { return a.apSsid != b.apSsid; },
     [](const ModuleState& s, Record& r) { PatchRecordText(r, ApSsidLen, 31, s.apSsid); }},
    {[](const ModuleState& a, const ModuleState& b) { return a.apKey != b.apKey || a.apSecurity != b.apSecurity; },
     [](const ModuleState& s, Record& r) {
         if (s.apSecurity)
             PatchRecordText(r, ApKeyLen, 15, s.apKey);
         else
             r[ApKeyLen] = 0;
     }},
    {[](const ModuleState& a, const ModuleState& b) { return a.staSsid != b.staSsid; },
     [](const ModuleState& s, Record& r) { PatchRecordText(r, StaSsidLen, 31, s.staSsid); }},
    {[](const ModuleState& a, const ModuleState& b) { return a.staKey != b.staKey; },
     [](const ModuleState& s, Record& r) { PatchRecordText(r, StaKeyLen, 15, s.staKey); }},
    {[](const ModuleState& a, const ModuleState& b) { return a.staticIpEnabled != b.staticIpEnabled; },
     [](const ModuleState& s, Record& r) { r[StaticIpSet] = s.staticIpEnabled; }},
    {[](const ModuleState& a, const ModuleState& b) { return a.staticIp != b.staticIp; },
     [](const ModuleState& s, Record& r) { PatchRecord4(r, StaticIp, s.staticIp); }},
    {[](const ModuleState& a, const ModuleState& b) { return a.staticMask != b.staticMask; },
     [](const ModuleState& s, Record& r) { PatchRecord4(r, StaticMask, s.staticMask); }},
    {[](const ModuleState& a, const ModuleState& b) { return a.staticGateway != b.staticGateway; },
     [](const ModuleState& s, Record& r) { PatchRecord4(r, StaticGateway, s.staticGateway); }},
    {[](const ModuleState& a, const ModuleState& b) { return a.location != b.location; },
     [](const ModuleState& s, Record& r) { PatchRecordText(r, LocationLen, 31, s.location); }},
    {[](const ModuleState& a, const ModuleState& b) { return a.wifiModeAp != b.wifiModeAp; },
     [](const ModuleState& s, Record& r) {
         r[WifiModeSet] = 1;
         r[WifiMode] = s.wifiModeAp ? 2 : 0;
     }},
    {[](const ModuleState& a, const ModuleState& b) { return a.modbusPort != b.modbusPort; },
     [](const ModuleState& s, Record& r) {
         r[ModbusPortSet] = 1;
         PatchRecord16(r, ModbusPort, s.modbusPort);
     }},
    {[](const ModuleState& a, const ModuleState& b) { return a.staKeyType != b.staKeyType; },
     [](const ModuleState& s, Record& r) {
         r[StaKeyTypeSet] = 1;
         r[StaKeyType] = s.staKeyType;
     }},
    {[](const ModuleState& a, const ModuleState& b) { return a.modbusIdleTimeout != b.modbusIdleTimeout; },
     [](const ModuleState& s, Record& r) {
         r[IdleTimeoutSet] = 1;
         PatchRecord16(r, IdleTimeout, s.modbusIdleTimeout);
     }},
};

void ClearFlash(ModuleCore& core)
{
    ++core.state.flashClearCount;
    core.configFilePending = false;
    core.state.configRecord = DefaultConfigRecord(core.state);
    ApplyConfigRecord(core.state.configRecord, core.state);
    ++core.state.resetCount;
}

}  // namespace

bool MagicSoFar(const QByteArray& frame)
{
    const int n = std::min<int>(4, static_cast<int>(frame.size()));
    for (int i = 0; i < n; ++i)
        if (At(frame, i) != kMagic[static_cast<std::size_t>(i)]) return false;
    return true;
}

bool FrameComplete(const QByteArray& frame)
{
    if (frame.size() < 5) return false;
    if (At(frame, 4) == BeginFileWrite && frame.size() >= kShortAnnouncement) return true;
    return frame.size() >= FrameLength(frame);
}

bool MayGrow(const QByteArray& frame)
{
    return frame.size() >= 5 && At(frame, 4) == BeginFileWrite && frame.size() < kLongAnnouncement;
}

Outcome Execute(const QByteArray& frame, ModuleCore& core)
{
    ModuleState& s = core.state;
    const std::uint8_t code = At(frame, 4);
    Outcome out;
    switch (code) {
    case GetLink: out.reply = LinkRecord(s); break;
    case GetIoStatus: {
        QByteArray r = StatusReply(code, 13);
        r[6] = static_cast<char>(s.doBits);
        r[7] = static_cast<char>(s.diBits);
        Put16(r, 8, s.rssiWord);
        Put16(r, 10, s.dacCode);
        r[12] = static_cast<char>(s.rangeFourToTwenty);
        out.reply = r;
        break;
    }
    case SetDo: {
        const std::uint8_t select = At(frame, 5);
        s.doBits = At(frame, 6) ? (s.doBits | select) : (s.doBits & ~select);
        QByteArray r = StatusReply(code, 8);
        r[6] = static_cast<char>(s.doBits);
        r[7] = static_cast<char>(s.diBits);
        out.reply = r;
        break;
    }
    case SetAnalog:
        s.analogMode = At(frame, 5);
        s.dacCode = Get16(frame, 6);
        out.reply = StatusReply(code);
        break;
    case SetCalibration:
        s.calibrationPoint = At(frame, 5);
        s.calibrationCode = Get16(frame, 6);
        // The module keeps its calibration points in its configuration file.
        if (s.calibrationPoint == 0) {
            s.configRecord[Cal10VSet] = 1;
            PatchRecord16(s.configRecord, Cal10VCode, s.calibrationCode);
        } else if (s.calibrationPoint == 1) {
            s.configRecord[Cal4mASet] = 1;
            PatchRecord16(s.configRecord, Cal4mACode, s.calibrationCode);
        }
        out.reply = StatusReply(code);
        break;
    case SetOutputRange:
        s.rangeFourToTwenty = At(frame, 5);
        out.reply = StatusReply(code);
        break;
    case SetFunctionConfig:
        for (std::size_t i = 0; i < s.functionRecord.size(); ++i) s.functionRecord[i] = At(frame, 6 + static_cast<int>(i));
        s.hasFunctionRecord = true;
        out.reply = StatusReply(code);
        break;
    case GetFunctionConfig: {
        QByteArray r = StatusReply(code, 39);
        if (s.hasFunctionRecord) {
            r[6] = 1;
            PutBytes(r, 7, s.functionRecord);
        }
        out.reply = r;
        break;
    }
    case GetDiCounters: {
        QByteArray r = StatusReply(code, 14);
        Put32(r, 6, s.diCounters[0]);
        Put32(r, 10, s.diCounters[1]);
        out.reply = r;
        break;
    }
    case ClearDiCounter:
        if (At(frame, 5) < s.diCounters.size()) s.diCounters[At(frame, 5)] = 0;
        out.reply = StatusReply(code);
        break;
    case SetLocator:
        ++s.locatorCount;
        out.reply = StatusReply(code);
        break;
    case SetWebKey:
        s.webKey = frame.mid(6, At(frame, 5));
        out.reply = StatusReply(code);
        break;
    case SetWifiMode:
        s.wifiModeRequested = At(frame, 5);
        Restart(core);
        out.restart = true;
        // The mode asked for outlives the reboot it causes.
        s.wifiModeAp = s.wifiModeRequested == 2 ? 1 : 0;
        s.configRecord[WifiModeSet] = 1;
        s.configRecord[WifiMode] = s.wifiModeRequested;
        out.reply = StatusReply(code);
        break;
    case ClearFlashConfig:
        ClearFlash(core);
        out.restart = true;
        out.reply = StatusReply(code);
        break;
    case ConfigWritten:
        ++s.configWrittenCount;
        out.reply = StatusReply(code);
        break;
    case ResetModule:
        Restart(core);
        out.restart = true;
        break;
    case GetImageChecksum: {
        std::uint32_t sum = 0;
        if (auto it = core.files.find(kImageName); it != core.files.end())
            sum = it->second.byteSum;
        else if (auto legacy = core.files.find(kLegacyImageName); legacy != core.files.end())
            sum = legacy->second.byteSum;
        QByteArray r = StatusReply(code, 10);
        Put32(r, 6, sum);
        out.reply = r;
        break;
    }
    case SendImageChecksum: break;
    case BeginFileWrite:
        out.announcement = ReadAnnouncement(frame, false);
        // Only the long form waits for an answer.
        if (frame.size() >= kLongAnnouncement) out.reply = StatusReply(code);
        break;
    case BeginImageWriteLegacy: out.announcement = ReadAnnouncement(frame, true); break;
    default: out.reply = StatusReply(code); break;
    }
    return out;
}

void Restart(ModuleCore& core)
{
    ++core.state.resetCount;
    if (!core.configFilePending) return;
    core.configFilePending = false;
    // The record already holds the file (and anything patched into it since); a later write that
    // broke off never replaced it.
    ApplyConfigRecord(core.state.configRecord, core.state);
}

namespace {

// The flash holds the new file at once; its settings wait for the next restart.
void TakeConfigFile(ModuleCore& core, const QByteArray& name, const QByteArray& data)
{
    if (name != kConfigFileName) return;
    core.state.configRecord = RecordFromFile(data);
    core.configFilePending = true;
}

}  // namespace

void BeginFile(ModuleCore& core, const Announcement& announcement)
{
    StoredFile file;
    file.announcedLength = announcement.length;
    file.announcedSum = announcement.sum;
    file.complete = announcement.length == 0;
    core.files[announcement.name] = file;
    if (file.complete) TakeConfigFile(core, announcement.name, file.data);
}

bool AppendFileData(ModuleCore& core, const QByteArray& name, const QByteArray& bytes)
{
    StoredFile& file = core.files[name];
    file.data.append(bytes);
    file.byteSum = ByteSum(bytes, file.byteSum);
    if (file.complete || static_cast<std::uint32_t>(file.data.size()) < file.announcedLength) return false;
    file.complete = true;
    TakeConfigFile(core, name, file.data);
    return true;
}

QByteArray LinkRecord(const ModuleState& s)
{
    QByteArray r = StatusReply(GetLink, 506);
    r[6] = static_cast<char>(s.modelCode);
    PutBytes(r, 7, s.reportedAddress);
    PutBytes(r, 11, s.mac);
    r[24] = static_cast<char>(s.firmwareMajor);
    r[25] = static_cast<char>(s.firmwareMinor);
    Put16(r, 36, s.modbusIdleTimeout);
    PutText(r, 40, 31, s.location);
    PutText(r, 80, 31, s.apSsid);
    r[112] = static_cast<char>(s.apSecurity);
    PutText(r, 113, 14, s.apKey);
    PutText(r, 128, 31, s.staSsid);
    r[160] = static_cast<char>(s.staKeyType);
    PutText(r, 161, 14, s.staKey);
    r[176] = static_cast<char>(s.wifiModeAp);
    r[177] = static_cast<char>(s.doBits);
    r[178] = static_cast<char>(s.diBits);
    Put16(r, 179, s.modbusPort);
    r[181] = static_cast<char>(s.staticIpEnabled);
    PutBytes(r, 182, s.staticIp);
    PutBytes(r, 186, s.staticMask);
    PutBytes(r, 190, s.staticGateway);
    Put16(r, 194, s.rssiWord);
    Put16(r, 196, s.dacCode);
    r[199] = static_cast<char>(s.rangeFourToTwenty);
    PutBytes(r, 200, s.functionRecord);
    PutBytes(r, 250, s.configRecord);
    return r;
}

void ApplyConfigRecord(const std::array<std::uint8_t, 256>& record, ModuleState& s)
{
    TakeText(record, ApSsidLen, 31, s.apSsid);
    if (record[ApKeyLen] <= 15) {
        TakeText(record, ApKeyLen, 15, s.apKey);
        s.apSecurity = record[ApKeyLen] ? 1 : 0;
    }
    TakeText(record, StaSsidLen, 31, s.staSsid);
    TakeText(record, StaKeyLen, 15, s.staKey);
    if (record[StaKeyTypeSet] == 1) s.staKeyType = record[StaKeyType];
    s.staticIpEnabled = record[StaticIpSet];
    s.staticIp = Record4(record, StaticIp);
    s.staticMask = Record4(record, StaticMask);
    s.staticGateway = Record4(record, StaticGateway);
    TakeText(record, LocationLen, 31, s.location);
    if (record[WifiModeSet] == 1) s.wifiModeAp = record[WifiMode] == 2 ? 1 : 0;
    if (record[ModbusPortSet] == 1) s.modbusPort = Record16(record, ModbusPort);
    if (record[IdleTimeoutSet] == 1) s.modbusIdleTimeout = Record16(record, IdleTimeout);
}

std::array<std::uint8_t, 256> DefaultConfigRecord(const ModuleState& s)
{
    // Factory settings: an open access point named after the MAC, Modbus on 502.
    std::array<std::uint8_t, 256> record{};
    const QByteArray ssid = "zQB-AP-" + QByteArray(reinterpret_cast<const char*>(s.mac.data()) + 3, 3).toHex().toUpper();
    PatchRecordText(record, ApSsidLen, 31, ssid);
    record[StaKeyTypeSet] = 1;
    record[StaKeyType] = 0;
    record[StaticMask] = 255;
    record[StaticMask + 1] = 255;
    record[StaticMask + 2] = 255;
    record[WifiModeSet] = 1;
    record[WifiMode] = 2;
    record[ModbusPortSet] = 1;
    PatchRecord16(record, ModbusPort, 502);
    record[IdleTimeoutSet] = 1;
    PatchRecord16(record, IdleTimeout, 120);
    return record;
}

Record SettingsRecord(const ModuleState& state, Record base)
{
    for (const SettingsField& field : kSettingsFields) field.write(state, base);
    return base;
}

void PatchChangedSettings(const ModuleState& before, ModuleState& after)
{
    for (const SettingsField& field : kSettingsFields)
        if (field.differs(before, after)) field.write(after, after.configRecord);
}

Record RecordFromFile(const QByteArray& data)
{
    Record record{};
    std::copy_n(data.begin(), std::min<qsizetype>(data.size(), 256), record.begin());
    return record;
}

std::uint32_t ByteSum(const QByteArray& bytes, std::uint32_t start)
{
    std::uint32_t sum = start;
    for (const char c : bytes) sum += static_cast<std::uint8_t>(c);
    return sum;
}

QByteArray ShapeReply(QByteArray reply, std::uint8_t code, const Misbehaviour& b)
{
    if (code == GetImageChecksum && b.imageSumOverride && reply.size() >= 10) Put32(reply, 6, *b.imageSumOverride);
    if ((b.badMagic || b.badMagicFor.count(code) > 0) && reply.size() > 3) reply[3] = static_cast<char>(0xA6);
    if (b.echoOverride && reply.size() > 4) reply[4] = static_cast<char>(*b.echoOverride);
    if (reply.size() > 5) {
        if (auto it = b.statusFor.find(code); it != b.statusFor.end())
            reply[5] = static_cast<char>(it->second);
        else if (b.status)
            reply[5] = static_cast<char>(*b.status);
    }
    if (b.replyLength > 0) {
        if (reply.size() > b.replyLength)
            reply.truncate(b.replyLength);
        else
            reply.append(QByteArray(b.replyLength - reply.size(), '\0'));
    }
    return reply;
}

}  // namespace zqbsim::logic
