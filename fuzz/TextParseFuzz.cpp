// Address, number and command-line parsing: the input is UTF-8 text, read whole by each parser
// and, split at line ends, as console arguments. Each parser must accept exactly what a plain
// reference written here from its rules accepts, with the same value.

#include <regex>
#include <string>

#include "link/ConsoleOptions.h"
#include "FuzzSupport.h"
#include "platform/IntegerText.h"
#include "protocol/Ipv4Text.h"
#include "link/ModuleAddress.h"
#include "setup/SettingRules.h"

namespace {

using namespace zqb;

bool Matches(const std::string& text, const std::regex& pattern, std::smatch& parts)
{
    return std::regex_match(text, parts, pattern);
}

// Digits without their leading zeros, so that a length bounds the value.
std::string Significant(const std::string& digits)
{
    const std::size_t first = digits.find_first_not_of('0');
    return first == std::string::npos ? std::string() : digits.substr(first);
}

std::optional<std::uint32_t> ReferenceDotted(const std::string& text)
{
    // Leading zeros read as decimal; no part runs past eight digits.
    static const std::regex pattern(R"(([0-9]{1,8})\.([0-9]{1,8})\.([0-9]{1,8})\.([0-9]{1,8}))");
    std::smatch parts;
    if (!Matches(text, pattern, parts)) return std::nullopt;
    std::uint32_t address = 0;
    for (int i = 1; i <= 4; ++i) {
        const unsigned long part = std::stoul(parts[i].str());
        if (part > 255) return std::nullopt;
        address = address << 8 | part;
    }
    return address;
}

// The setup window's rule for address, mask and gateway: four parts of digits, each at most 255,
// leading zeros allowed however many.
bool ReferenceSettingsAddress(const std::string& text)
{
    static const std::regex pattern(R"(([0-9]+)\.([0-9]+)\.([0-9]+)\.([0-9]+))");
    std::smatch parts;
    if (!Matches(text, pattern, parts)) return false;
    for (int i = 1; i <= 4; ++i)
        if (Significant(parts[i].str()).size() > 3 || (parts[i].length() > 0 && std::stoul("0" + Significant(parts[i].str())) > 255))
            return false;
    return true;
}

std::optional<ModuleAddress> ReferenceModuleAddress(const std::string& text)
{
    static const std::regex pattern(
        R"(((?:0|[1-9][0-9]{0,2})\.(?:0|[1-9][0-9]{0,2})\.(?:0|[1-9][0-9]{0,2})\.(?:0|[1-9][0-9]{0,2}))(?::([1-9][0-9]{0,4}))?)");
    std::smatch parts;
    if (!Matches(text, pattern, parts)) return std::nullopt;
    const std::optional<std::uint32_t> address = ReferenceDotted(parts[1].str());
    const unsigned long port = parts[2].matched ? std::stoul(parts[2].str()) : 13577;
    if (!address || *address >> 24 == 0 || *address >> 24 >= 224 || port > 65535) return std::nullopt;
    return ModuleAddress{QString::fromStdString(parts[1].str()), static_cast<std::uint16_t>(port)};
}

std::optional<std::int32_t> ReferenceInteger(const std::string& text)
{
    static const std::regex pattern(R"( *([+-]?)(?:(\$|0[xX]|[xX])([0-9A-Fa-f]+)|([0-9]+)))");
    std::smatch parts;
    if (!Matches(text, pattern, parts)) return std::nullopt;
    const bool negative = parts[1].str() == "-";
    const bool hex = parts[2].matched;
    const std::string digits = Significant(hex ? parts[3].str() : parts[4].str());
    if (digits.size() > (hex ? 8u : 10u)) return std::nullopt;
    const std::uint64_t value = digits.empty() ? 0 : std::stoull(digits, nullptr, hex ? 16 : 10);
    if (!hex && value > (negative ? 0x80000000ull : 0x7FFFFFFFull)) return std::nullopt;
    const auto bits = static_cast<std::uint32_t>(negative ? 0 - value : value);
    return static_cast<std::int32_t>(bits);
}

std::optional<ConsoleOptions> ReferenceOptions(const QStringList& arguments)
{
    ConsoleOptions options;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        const bool takesValue = arg == "--module" || arg == "--screenshot" || arg == "-platform" ||
                                arg == "-style" || arg == "-display";
        if (takesValue && ++i >= arguments.size()) return std::nullopt;
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--version") {
            options.version = true;
        } else if (arg == "--demo") {
            options.demo = true;
        } else if (arg == "--module") {
            const std::optional<ModuleAddress> module = ReferenceModuleAddress(arguments[i].toStdString());
            if (!module) return std::nullopt;
            options.moduleAddress = module->address;
            options.modulePort = module->port;
        } else if (arg == "--screenshot") {
            options.screenshotFile = arguments[i];
        } else if (!takesValue) {
            return std::nullopt;
        }
    }
    if (options.demo && options.moduleAddress) return std::nullopt;
    return options;
}

bool Same(const ConsoleOptions& a, const ConsoleOptions& b)
{
    return a.moduleAddress == b.moduleAddress && a.modulePort == b.modulePort && a.demo == b.demo &&
           a.screenshotFile == b.screenshotFile && a.help == b.help && a.version == b.version;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const std::string utf8 = text.toStdString();

    const bool digits = !utf8.empty() && utf8.find_first_not_of("0123456789") == std::string::npos;
    FUZZ_CHECK(IsDecimalDigits(text) == digits);
    FUZZ_CHECK(ParseDottedDecimal(text) == ReferenceDotted(utf8));
    FUZZ_CHECK(ParseInteger(text) == ReferenceInteger(utf8));
    FUZZ_CHECK(IsValidIpv4Text(text) == ReferenceSettingsAddress(utf8));

    QString error;
    const std::optional<ModuleAddress> module = ParseModuleAddress(text, error);
    const std::optional<ModuleAddress> expected = ReferenceModuleAddress(utf8);
    FUZZ_CHECK(module.has_value() == expected.has_value());
    if (module)
        FUZZ_CHECK(module->address == expected->address && module->port == expected->port);
    else
        FUZZ_CHECK(!error.isEmpty());

    const QStringList arguments = QStringList{QStringLiteral("zqb-console")} + text.split(QLatin1Char('\n'));
    error.clear();
    const std::optional<ConsoleOptions> options = ParseConsoleOptions(arguments, error);
    const std::optional<ConsoleOptions> expectedOptions = ReferenceOptions(arguments);
    FUZZ_CHECK(options.has_value() == expectedOptions.has_value());
    if (options)
        FUZZ_CHECK(Same(*options, *expectedOptions));
    else
        FUZZ_CHECK(!error.isEmpty());

    // Any address written out reads back as itself.
    fuzz::Input in(data, size);
    const std::uint32_t high = in.Word();
    const std::uint32_t address = high << 16 | in.Word();
    FUZZ_CHECK(ParseDottedDecimal(DottedText(address)) == address);
    return 0;
}
