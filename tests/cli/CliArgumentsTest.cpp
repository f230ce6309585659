// The command line read into an invocation, the "ao" values turned into DAC codes, and the
// networks a scan may cover.
#include <gtest/gtest.h>

#include <random>

#include "cli/AnalogTarget.h"
#include "cli/CliArguments.h"
#include "protocol/DacText.h"
#include "protocol/Ipv4Text.h"
#include "support/QtPrinters.h"

namespace zqb::cli {
namespace {

Invocation Parsed(const QStringList& arguments)
{
    const auto result = ParseArguments(arguments);
    if (const auto* error = std::get_if<UsageError>(&result)) {
        ADD_FAILURE() << arguments.join(' ').toStdString() << ": " << error->message.toStdString();
        return {};
    }
    return std::get<Invocation>(result);
}

TEST(CliArguments, EachCommandWithItsArguments)
{
    const struct {
        QStringList arguments;
        Command command;
        std::function<bool(const Invocation&)> holds;
    } cases[] = {
        {{"status"}, Command::Status, [](const Invocation& i) { return i.moduleAddress == "192.168.77.1" && i.modulePort == 13577; }},
        {{"--module", "127.0.0.7:4000", "--json", "status"}, Command::Status,
         [](const Invocation& i) { return i.moduleAddress == "127.0.0.7" && i.modulePort == 4000 && i.json; }},
        {{"status", "--module", "127.1.2.3", "--timeout", "250"}, Command::Status,
         [](const Invocation& i) { return i.moduleAddress == "127.1.2.3" && i.timeoutMs == 250; }},
        {{"watch"}, Command::Watch, [](const Invocation& i) { return i.watchIntervalMs == 500 && !i.watchCount; }},
        {{"watch", "--interval", "20", "--count", "3"}, Command::Watch,
         [](const Invocation& i) { return i.watchIntervalMs == 20 && i.watchCount == 3; }},
        {{"do", "on"}, Command::SetDo, [](const Invocation& i) { return i.doOn; }},
        {{"do", "off"}, Command::SetDo, [](const Invocation& i) { return !i.doOn; }},
        {{"ao", "4095"}, Command::SetAnalog,
         [](const Invocation& i) { return i.analog.unit == AnalogRequest::Unit::Code && i.analog.value == 4095; }},
        {{"ao", "2.5V"}, Command::SetAnalog,
         [](const Invocation& i) { return i.analog.unit == AnalogRequest::Unit::Volts && i.analog.value == 2.5; }},
        {{"ao", "12mA"}, Command::SetAnalog,
         [](const Invocation& i) { return i.analog.unit == AnalogRequest::Unit::Milliamps && i.analog.value == 12; }},
        {{"ao", "4.5MA"}, Command::SetAnalog, [](const Invocation& i) { return i.analog.unit == AnalogRequest::Unit::Milliamps; }},
        {{"range", "4-20"}, Command::SetRange, [](const Invocation& i) { return i.fourToTwenty; }},
        {{"range", "0-20"}, Command::SetRange, [](const Invocation& i) { return !i.fourToTwenty; }},
        {{"locate"}, Command::Locate, [](const Invocation&) { return true; }},
        {{"counters", "--clear", "1"}, Command::Counters, [](const Invocation& i) { return i.clearCounter == 1; }},
        {{"function", "show"}, Command::FunctionShow, [](const Invocation&) { return true; }},
        {{"function", "save", "a.zcf"}, Command::FunctionSave, [](const Invocation& i) { return i.file == "a.zcf"; }},
        {{"function", "load", "b.zcf"}, Command::FunctionLoad, [](const Invocation& i) { return i.file == "b.zcf"; }},
        {{"settings", "backup", "s.cfg"}, Command::SettingsBackup, [](const Invocation& i) { return i.file == "s.cfg"; }},
        {{"-y", "settings", "restore", "s.cfg"}, Command::SettingsRestore, [](const Invocation& i) { return i.yes; }},
        {{"settings", "set", "location=Hall 2", "ap-key=a=b=c"}, Command::SettingsSet,
         [](const Invocation& i) {
             return i.settings.size() == 2 && i.settings[0].value == "Hall 2" && i.settings[1].name == "ap-key" &&
                    i.settings[1].value == "a=b=c";
         }},
        {{"settings", "set", "location="}, Command::SettingsSet, [](const Invocation& i) { return i.settings[0].value.isEmpty(); }},
        {{"web-key", "--", "-abc"}, Command::WebKey, [](const Invocation& i) { return i.webKey == "-abc"; }},
        {{"wifi-mode", "ap", "--yes"}, Command::WifiMode, [](const Invocation& i) { return i.accessPoint && i.yes; }},
        {{"reset-defaults"}, Command::ResetDefaults, [](const Invocation&) { return true; }},
        {{"reboot"}, Command::Reboot, [](const Invocation&) { return true; }},
        {{"firmware", "image.BIN"}, Command::Firmware, [](const Invocation& i) { return i.file == "image.BIN"; }},
        {{"scan"}, Command::Scan, [](const Invocation& i) { return !i.scanRange && i.scanParallel == 64; }},
        {{"scan", "127.0.0.9/28", "--parallel", "8"}, Command::Scan,
         [](const Invocation& i) { return i.scanRange && i.scanRange->network == 0x7F000000u && i.scanParallel == 8; }},
        {{"--help", "status"}, Command::Help, [](const Invocation&) { return true; }},
        {{"--version"}, Command::Version, [](const Invocation&) { return true; }},
    };
    for (const auto& c : cases) {
        const Invocation invocation = Parsed(c.arguments);
        EXPECT_EQ(invocation.command, c.command) << c.arguments.join(' ').toStdString();
        EXPECT_TRUE(c.holds(invocation)) << c.arguments.join(' ').toStdString();
    }
}

TEST(CliArguments, MistakesAreRefusedWithAReason)
{
    const struct {
        QStringList arguments;
        const char* reason;
    } cases[] = {
        {{}, "no command"},
        {{"--module", "127.0.0.01", "status"}, "not an IPv4 address"},
        {{"--module", "host.example", "status"}, "not an IPv4 address"},
        {{"--module", "::1", "status"}, "IPv6"},
        {{"--module", "127.0.0.1:0", "status"}, "not a port number"},
        {{"--module"}, "needs a value"},
        {{"--timeout", "0", "status"}, "not a number from 1"},
        {{"--timeout", "+5", "status"}, "not a number"},
        {{"--timeout", "007", "status"}, "not a number"},
        {{"--frobnicate", "status"}, "unknown option"},
        {{"bogus"}, "unknown command"},
        {{"status", "now"}, "takes no arguments"},
        {{"status", "--interval", "50"}, "does not belong to 'status'"},
        {{"watch", "--interval", "5"}, "not a number from 10"},
        {{"watch", "--count", "0"}, "not a number from 1"},
        {{"do"}, "takes one argument"},
        {{"do", "1"}, "say on or off"},
        {{"ao", "-1"}, "unknown option"},
        {{"ao", "5 V"}, "neither a DAC code"},
        {{"ao", "1e3"}, "neither a DAC code"},
        {{"ao", "5W"}, "neither a DAC code"},
        {{"ao", "0x10"}, "neither a DAC code"},
        {{"range", "4~20"}, "say 0-20 or 4-20"},
        {{"counters", "--clear", "2"}, "not a number from 0 to 1"},
        {{"function"}, "say show"},
        {{"function", "save"}, "takes one file"},
        {{"function", "show", "x"}, "takes no file"},
        {{"settings", "set"}, "at least one NAME=VALUE"},
        {{"settings", "set", "colour=red"}, "unknown setting 'colour'"},
        {{"settings", "set", "=x"}, "not NAME=VALUE"},
        {{"settings", "set", "location=a", "location=b"}, "given twice"},
        {{"settings", "wipe"}, "say backup"},
        {{"wifi-mode", "mesh"}, "say ap or station"},
        {{"firmware", "image.zcf"}, "not a .bin image"},
        {{"scan", "127.0.0.0"}, "not a network"},
        {{"scan", "127.0.0.0/21"}, "more than 1024"},
        {{"scan", "127.0.0.0/33"}, "not a prefix length"},
        {{"scan", "127.0.0.0/24:80"}, "not a network"},
        {{"scan", "127.0.0.0/24", "--parallel", "0"}, "not a number from 1 to 256"},
        {{"scan", "a/b", "c"}, "takes 0 to 1 arguments"},
    };
    for (const auto& c : cases) {
        const auto result = ParseArguments(c.arguments);
        const auto* error = std::get_if<UsageError>(&result);
        ASSERT_NE(error, nullptr) << c.arguments.join(' ').toStdString();
        EXPECT_TRUE(error->message.contains(QLatin1String(c.reason))) << error->message.toStdString();
    }
}

// A key given on the command line is never repeated, even in part, in a complaint about it: not
// as a word, and not when it begins with '-' and looks like an option after a command that takes
// a key (after "--" it is taken as it is: see EachCommandWithItsArguments).
TEST(CliArguments, ComplaintsDoNotRepeatAKey)
{
    const QString key = QStringLiteral("my-very-secret-wifi-password-of-some-length");
    const struct {
        QStringList arguments;
        QString secret;
    } refused[] = {
        {{"settings", "set", key}, key},
        {{"web-key", "-abcd"}, "-abcd"},
        {{"--json", "web-key", "-abcdef", "--yes"}, "-abcdef"},
        {{"settings", "set", "-sta-key=secret12"}, "secret12"},
    };
    for (const auto& c : refused) {
        const auto result = ParseArguments(c.arguments);
        ASSERT_TRUE(std::holds_alternative<UsageError>(result)) << c.arguments.join(' ').toStdString();
        const QString said = std::get<UsageError>(result).message;
        EXPECT_FALSE(said.contains(c.secret.left(5))) << said.toStdString();
    }
}

// Arguments made of the program's own words in any order: always an invocation or a reason.
TEST(CliArguments, AnyMixOfWordsGivesAnInvocationOrAReason)
{
    const QStringList words = {"status", "watch",    "do",      "on",       "ao",     "5V",      "range",  "4-20",
                               "--json", "--yes",    "--module", "127.0.0.1", "--timeout", "10",   "settings", "set",
                               "a=b",    "location=", "scan",   "127.0.0.0/24", "--count", "--", "firmware", "x.bin",
                               "function", "save",   "",       "-",        "--clear", "1",      "web-key", "=",
                               "=x",     "\xC3\xA9", "--parallel", "999999999999"};
    std::mt19937 random(7);
    std::uniform_int_distribution<qsizetype> pick(0, words.size() - 1);
    std::uniform_int_distribution<int> length(0, 7);
    for (int i = 0; i < 5000; ++i) {
        QStringList arguments;
        for (int n = length(random); n > 0; --n) arguments << words[pick(random)];
        const auto result = ParseArguments(arguments);
        if (const auto* error = std::get_if<UsageError>(&result)) {
            EXPECT_FALSE(error->message.isEmpty()) << arguments.join(' ').toStdString();
        }
    }
}

TEST(ScanRanges, NetworksOfAtMost1024AddressesWithoutTheirEnds)
{
    const struct {
        const char* text;
        const char* first;
        std::size_t count;
    } cases[] = {
        {"127.0.0.0/28", "127.0.0.1", 14},
        {"127.0.0.77/24", "127.0.0.1", 254},  // held to its network
        {"192.168.77.0/22", "192.168.76.1", 1022},
        {"10.0.0.4/31", "10.0.0.4", 2},
        {"10.0.0.4/32", "10.0.0.4", 1},
    };
    for (const auto& c : cases) {
        QString error;
        const std::optional<ScanRange> range = ParseScanRange(QString::fromLatin1(c.text), error);
        ASSERT_TRUE(range) << c.text << ": " << error.toStdString();
        const std::vector<std::uint32_t> addresses = ScanAddresses(*range);
        EXPECT_EQ(addresses.size(), c.count) << c.text;
        EXPECT_EQ(DottedText(addresses.front()), QLatin1String(c.first)) << c.text;
        EXPECT_LE(addresses.size(), static_cast<std::size_t>(MaxScanAddresses));
    }
}

TEST(AnalogTargets, VoltsAndMilliampsBecomeTheNearestCodeTheRangeReaches)
{
    using Unit = AnalogRequest::Unit;
    const struct {
        Unit unit;
        double value;
        bool fourToTwenty;
        std::int32_t code;  // -1: refused
    } cases[] = {
        {Unit::Code, 0, false, 0},         {Unit::Code, 4095, false, 4095},  {Unit::Code, 4096, false, -1},
        {Unit::Code, 818, true, -1},       {Unit::Code, 819, true, 819},     {Unit::Volts, 5, false, 2047},
        {Unit::Volts, 10, false, 4095},    {Unit::Volts, 10.01, false, -1},  {Unit::Volts, 2, true, 819},
        {Unit::Volts, 1.99, true, -1},     {Unit::Volts, 0, false, 0},       {Unit::Milliamps, 12, false, 2457},
        {Unit::Milliamps, 20, false, 4095}, {Unit::Milliamps, 20.1, false, -1}, {Unit::Milliamps, 4, true, 819},
        {Unit::Milliamps, 3.9, true, -1},  {Unit::Milliamps, 3.9, false, 798},
    };
    for (const auto& c : cases) {
        const Result<std::int32_t> code = AnalogCode({c.unit, c.value, QStringLiteral("x")}, c.fourToTwenty);
        EXPECT_EQ(code.Ok() ? code.value : -1, c.code) << c.value << " " << static_cast<int>(c.unit) << " " << c.fourToTwenty;
        if (!code.Ok()) {
            EXPECT_EQ(code.outcome.kind, OutcomeKind::InputError);
            EXPECT_TRUE(code.outcome.rule.contains(c.fourToTwenty ? QLatin1String("4-20 mA range") : QLatin1String("0-20 mA range")));
        }
    }
}

// What status and ao print for a code is a value ao takes back to that very code, as long as the
// text carries three decimals (below 10 V and 10 mA).
TEST(AnalogTargets, PrintedValuesComeBackAsTheirCode)
{
    for (std::int32_t code = 0; code <= MaxDacCode; ++code) {
        const QString volts = DacVoltsText(code);
        const QString milliamps = DacMilliampsText(code);
        // From 10 on, four significant digits leave two decimals: finer than a code no more.
        if (volts.indexOf(QLatin1Char('.')) > 1) continue;
        EXPECT_EQ(AnalogCode({AnalogRequest::Unit::Volts, volts.chopped(1).toDouble(), volts}, false).value, code) << volts.toStdString();
        if (milliamps.indexOf(QLatin1Char('.')) > 1) continue;
        EXPECT_EQ(AnalogCode({AnalogRequest::Unit::Milliamps, milliamps.chopped(2).toDouble(), milliamps}, false).value, code)
            << milliamps.toStdString();
    }
}

}  // namespace
}  // namespace zqb::cli
