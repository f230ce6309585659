#include "cli/CliArguments.h"

#include <QRegularExpression>

#include "protocol/Ipv4Text.h"
#include "link/ModuleAddress.h"

namespace zqb::cli {

namespace {

const QStringList SettingNames = {
    QStringLiteral("ap-ssid"),        QStringLiteral("ap-key"),         QStringLiteral("ap-key-type"),
    QStringLiteral("sta-ssid"),       QStringLiteral("sta-key"),        QStringLiteral("sta-key-type"),
    QStringLiteral("static-ip"),      QStringLiteral("static-mask"),    QStringLiteral("static-gateway"),
    QStringLiteral("location"),       QStringLiteral("modbus-port"),    QStringLiteral("modbus-idle-timeout"),
};

// Decimal digits only (no sign, blank or leading zero beyond a lone "0"), within [least, most].
std::optional<int> PlainNumber(const QString& text, int least, int most)
{
    if (text.isEmpty() || text.size() > 9 || !IsDecimalDigits(text)) return std::nullopt;
    if (text.size() > 1 && text[0] == QLatin1Char('0')) return std::nullopt;
    const int value = text.toInt();
    if (value < least || value > most) return std::nullopt;
    return value;
}

}  // namespace

std::optional<AnalogRequest> ParseAnalog(const QString& text)
{
    AnalogRequest request;
    request.text = text;
    if (const auto code = PlainNumber(text, 0, 999999)) {
        request.unit = AnalogRequest::Unit::Code;
        request.value = *code;
        return request;
    }
    static const QRegularExpression amount(QStringLiteral("^(\\d{1,4}(?:\\.\\d{1,6})?)(v|ma)$"),
                                           QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = amount.match(text);
    if (!match.hasMatch()) return std::nullopt;
    request.value = match.captured(1).toDouble();
    request.unit = match.captured(2).compare(QLatin1String("v"), Qt::CaseInsensitive) == 0 ? AnalogRequest::Unit::Volts
                                                                                          : AnalogRequest::Unit::Milliamps;
    return request;
}

namespace {

// Walks the arguments: options of the whole program anywhere, "--" ends them.
class Reader {
public:
    Reader(const QStringList& arguments, const QList<QByteArray>& raw) : arguments_(arguments), raw_(raw) {}

    std::variant<Invocation, UsageError> Read()
    {
        std::optional<QString> error = ReadAll();
        if (error) return UsageError{*error};
        return invocation_;
    }

private:
    std::optional<QString> ReadAll()
    {
        bool help = false;
        bool version = false;
        bool optionsEnded = false;
        for (index_ = 0; index_ < arguments_.size(); ++index_) {
            const QString& arg = arguments_[index_];
            if (!optionsEnded && arg == QLatin1String("--")) {
                optionsEnded = true;
                continue;
            }
            if (!optionsEnded && arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
                if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
                    help = true;
                } else if (arg == QLatin1String("--version")) {
                    version = true;
                } else if (auto error = ReadOption(arg)) {
                    // After a command that takes a key, an argument that looks like an option may
                    // be the key itself: it is never repeated.
                    if (TakesKey()) return QStringLiteral("an argument after '%1' looks like an option; put -- before a value that begins with '-'").arg(words_.first());
                    return error;
                }
                continue;
            }
            words_ << arg;
            wordBytes_ << (index_ < raw_.size() ? raw_[index_] : arg.toLocal8Bit());
        }
        if (help || version) {
            invocation_.command = help ? Command::Help : Command::Version;
            return std::nullopt;
        }
        if (words_.isEmpty()) return QStringLiteral("no command given");
        return ReadCommand();
    }

    bool TakesKey() const
    {
        return !words_.isEmpty() && (words_.first() == QLatin1String("web-key") || words_.first() == QLatin1String("settings"));
    }

    // The name of a file given as the word at `index`, as shown and as the file system has it.
    void TakeFile(qsizetype index)
    {
        invocation_.file = words_[index];
        invocation_.filePath = wordBytes_[index];
    }

    std::optional<QString> Value(const QString& option, QString& value)
    {
        if (index_ + 1 >= arguments_.size()) return QStringLiteral("%1 needs a value").arg(option);
        value = arguments_[++index_];
        return std::nullopt;
    }

    std::optional<QString> Number(const QString& option, int least, int most, int& into)
    {
        QString text;
        if (auto error = Value(option, text)) return error;
        const std::optional<int> value = PlainNumber(text, least, most);
        if (!value)
            return QStringLiteral("%1: '%2' is not a number from %3 to %4")
                .arg(option, text, QString::number(least), QString::number(most));
        into = *value;
        return std::nullopt;
    }

    std::optional<QString> ReadOption(const QString& option)
    {
        if (option == QLatin1String("--module")) {
            QString text;
            if (auto error = Value(option, text)) return error;
            QString reason;
            const std::optional<ModuleAddress> address = ParseModuleAddress(text, reason);
            if (!address) return QStringLiteral("--module: ") + reason;
            invocation_.moduleAddress = address->address;
            invocation_.modulePort = address->port;
            return std::nullopt;
        }
        if (option == QLatin1String("--json")) {
            invocation_.json = true;
            return std::nullopt;
        }
        if (option == QLatin1String("--yes") || option == QLatin1String("-y")) {
            invocation_.yes = true;
            return std::nullopt;
        }
        int value = 0;
        if (option == QLatin1String("--timeout")) {
            if (auto error = Number(option, 1, 600000, value)) return error;
            invocation_.timeoutMs = value;
            return std::nullopt;
        }
        if (option == QLatin1String("--interval")) {
            if (auto error = Number(option, 10, 3600000, value)) return error;
            invocation_.watchIntervalMs = value;
            commandOptions_ << option;
            return std::nullopt;
        }
        if (option == QLatin1String("--count")) {
            if (auto error = Number(option, 1, 100000000, value)) return error;
            invocation_.watchCount = value;
            commandOptions_ << option;
            return std::nullopt;
        }
        if (option == QLatin1String("--clear")) {
            if (auto error = Number(option, 0, 1, value)) return error;
            invocation_.clearCounter = value;
            commandOptions_ << option;
            return std::nullopt;
        }
        if (option == QLatin1String("--parallel")) {
            if (auto error = Number(option, 1, 256, value)) return error;
            invocation_.scanParallel = value;
            commandOptions_ << option;
            return std::nullopt;
        }
        return QStringLiteral("unknown option '%1'").arg(option);
    }

    // The command's own options belong to it alone.
    std::optional<QString> OnlyOptions(const QStringList& allowed) const
    {
        for (const QString& option : commandOptions_)
            if (!allowed.contains(option))
                return QStringLiteral("%1 does not belong to '%2'").arg(option, words_.first());
        return std::nullopt;
    }

    std::optional<QString> Arity(qsizetype least, qsizetype most) const
    {
        const qsizetype given = words_.size() - 1;
        if (given >= least && given <= most) return std::nullopt;
        return QStringLiteral("'%1' takes %2").arg(words_.mid(0, words_.size() - given).join(QLatin1Char(' ')),
                                                   ArgumentsText(least, most));
    }

    static QString ArgumentsText(qsizetype least, qsizetype most)
    {
        if (most == 0) return QStringLiteral("no arguments");
        if (least == most) return least == 1 ? QStringLiteral("one argument") : QStringLiteral("%1 arguments").arg(least);
        return QStringLiteral("%1 to %2 arguments").arg(least).arg(most);
    }

    std::optional<QString> Simple(Command command, const QStringList& options = {})
    {
        invocation_.command = command;
        if (auto error = OnlyOptions(options)) return error;
        return Arity(0, 0);
    }

    std::optional<QString> ReadCommand()
    {
        const QString name = words_.first();
        const QString first = words_.value(1);
        if (name == QLatin1String("status")) return Simple(Command::Status);
        if (name == QLatin1String("watch")) return Simple(Command::Watch, {"--interval", "--count"});
        if (name == QLatin1String("locate")) return Simple(Command::Locate);
        if (name == QLatin1String("counters")) return Simple(Command::Counters, {"--clear"});
        if (name == QLatin1String("reset-defaults")) return Simple(Command::ResetDefaults);
        if (name == QLatin1String("reboot")) return Simple(Command::Reboot);
        if (name == QLatin1String("do")) {
            invocation_.command = Command::SetDo;
            if (auto error = OnlyOptions({})) return error;
            if (auto error = Arity(1, 1)) return error;
            if (first != QLatin1String("on") && first != QLatin1String("off")) return QStringLiteral("do: say on or off");
            invocation_.doOn = first == QLatin1String("on");
            return std::nullopt;
        }
        if (name == QLatin1String("ao")) {
            invocation_.command = Command::SetAnalog;
            if (auto error = OnlyOptions({})) return error;
            if (auto error = Arity(1, 1)) return error;
            const std::optional<AnalogRequest> request = ParseAnalog(first);
            if (!request)
                return QStringLiteral("ao: '%1' is neither a DAC code (0-4095) nor volts (5V, 2.5V) nor milliamperes (12mA)").arg(first);
            invocation_.analog = *request;
            return std::nullopt;
        }
        if (name == QLatin1String("range")) {
            invocation_.command = Command::SetRange;
            if (auto error = OnlyOptions({})) return error;
            if (auto error = Arity(1, 1)) return error;
            if (first != QLatin1String("0-20") && first != QLatin1String("4-20")) return QStringLiteral("range: say 0-20 or 4-20");
            invocation_.fourToTwenty = first == QLatin1String("4-20");
            return std::nullopt;
        }
        if (name == QLatin1String("function")) return ReadFunction();
        if (name == QLatin1String("settings")) return ReadSettings();
        if (name == QLatin1String("web-key")) {
            invocation_.command = Command::WebKey;
            if (auto error = OnlyOptions({})) return error;
            if (auto error = Arity(1, 1)) return error;
            invocation_.webKey = first;
            return std::nullopt;
        }
        if (name == QLatin1String("wifi-mode")) {
            invocation_.command = Command::WifiMode;
            if (auto error = OnlyOptions({})) return error;
            if (auto error = Arity(1, 1)) return error;
            if (first != QLatin1String("ap") && first != QLatin1String("station")) return QStringLiteral("wifi-mode: say ap or station");
            invocation_.accessPoint = first == QLatin1String("ap");
            return std::nullopt;
        }
        if (name == QLatin1String("firmware")) {
            invocation_.command = Command::Firmware;
            if (auto error = OnlyOptions({})) return error;
            if (auto error = Arity(1, 1)) return error;
            // The window's file filter: an image is a .bin file.
            if (!first.endsWith(QLatin1String(".bin"), Qt::CaseInsensitive))
                return QStringLiteral("firmware: '%1' is not a .bin image").arg(first);
            TakeFile(1);
            return std::nullopt;
        }
        if (name == QLatin1String("scan")) {
            invocation_.command = Command::Scan;
            if (auto error = OnlyOptions({"--parallel"})) return error;
            if (auto error = Arity(0, 1)) return error;
            if (words_.size() == 2) {
                QString error;
                invocation_.scanRange = ParseScanRange(first, error);
                if (!invocation_.scanRange) return QStringLiteral("scan: ") + error;
            }
            return std::nullopt;
        }
        return QStringLiteral("unknown command '%1'").arg(name);
    }

    std::optional<QString> ReadFunction()
    {
        if (auto error = OnlyOptions({})) return error;
        const QString action = words_.value(1);
        if (action == QLatin1String("show")) {
            invocation_.command = Command::FunctionShow;
            return words_.size() == 2 ? std::nullopt : std::optional<QString>(QStringLiteral("'function show' takes no file"));
        }
        if (action == QLatin1String("save") || action == QLatin1String("load")) {
            invocation_.command = action == QLatin1String("save") ? Command::FunctionSave : Command::FunctionLoad;
            if (words_.size() != 3) return QStringLiteral("'function %1' takes one file").arg(action);
            TakeFile(2);
            return std::nullopt;
        }
        return QStringLiteral("function: say show, save FILE or load FILE");
    }

    std::optional<QString> ReadSettings()
    {
        if (auto error = OnlyOptions({})) return error;
        const QString action = words_.value(1);
        if (action == QLatin1String("backup") || action == QLatin1String("restore")) {
            invocation_.command = action == QLatin1String("backup") ? Command::SettingsBackup : Command::SettingsRestore;
            if (words_.size() != 3) return QStringLiteral("'settings %1' takes one file").arg(action);
            TakeFile(2);
            return std::nullopt;
        }
        if (action != QLatin1String("set")) return QStringLiteral("settings: say backup FILE, restore FILE or set NAME=VALUE...");
        invocation_.command = Command::SettingsSet;
        if (words_.size() < 3) return QStringLiteral("'settings set' needs at least one NAME=VALUE");
        for (qsizetype i = 2; i < words_.size(); ++i) {
            const QString& word = words_[i];
            const qsizetype equals = word.indexOf(QLatin1Char('='));
            // Not repeated: a word without its name may be a key typed alone.
            if (equals <= 0) return QStringLiteral("settings set: argument %1 is not NAME=VALUE").arg(i - 1);
            const QString settingName = word.left(equals);
            if (!SettingNames.contains(settingName))
                return QStringLiteral("settings set: unknown setting '%1' (known: %2)").arg(settingName, SettingNames.join(QStringLiteral(", ")));
            for (const SettingAssignment& earlier : invocation_.settings)
                if (earlier.name == settingName) return QStringLiteral("settings set: %1 is given twice").arg(settingName);
            invocation_.settings.push_back({settingName, word.mid(equals + 1)});
        }
        return std::nullopt;
    }

    const QStringList& arguments_;
    const QList<QByteArray>& raw_;
    qsizetype index_ = 0;
    QStringList words_;
    QList<QByteArray> wordBytes_;
    QStringList commandOptions_;
    Invocation invocation_;
};

}  // namespace

std::variant<Invocation, UsageError> ParseArguments(const QStringList& arguments, const QList<QByteArray>& raw)
{
    return Reader(arguments, raw).Read();
}

QString VersionText() { return QStringLiteral("zqb 1.10 (20200213)\n"); }

QString Usage()
{
    return QStringLiteral(
        "Usage: zqb [--module ADDRESS[:PORT]] [--json] [--yes] [--timeout MS] COMMAND [ARGUMENTS]\n"
        "\n"
        "Commands:\n"
        "  status                        model, firmware, address, signal, I/O, Wi-Fi and Modbus settings\n"
        "  watch [--interval MS] [--count N]\n"
        "                                poll the I/O state, print a line whenever DI, DO, DAC or range change\n"
        "  do on|off                     switch the digital output\n"
        "  ao CODE|VOLTSV|MILLIAMPSmA    set the analog output (e.g. 2048, 5V, 12mA)\n"
        "  range 0-20|4-20               set the current range of the analog output\n"
        "  locate                        make the module show where it is\n"
        "  counters [--clear 0|1]        read the DI counters (clearing one first)\n"
        "  function show                 show the module's standalone function\n"
        "  function save FILE            save the module's function as a .zcf file\n"
        "  function load FILE            write a .zcf file's function to the module\n"
        "  settings backup FILE          save the module's 256-byte settings record\n"
        "  settings restore FILE         write such a file back as the module's settings file\n"
        "  settings set NAME=VALUE...    change settings with one settings file write; names:\n"
        "                                ap-ssid ap-key ap-key-type=open|wpa sta-ssid sta-key\n"
        "                                sta-key-type=open|wep|wpa static-ip=ADDRESS|off static-mask\n"
        "                                static-gateway location modbus-port modbus-idle-timeout\n"
        "  web-key KEY                   set the key of the module's web page\n"
        "  wifi-mode ap|station          switch the Wi-Fi mode (restarts the module; needs --yes)\n"
        "  reset-defaults                clear the stored settings (restarts the module; needs --yes)\n"
        "  reboot                        restart the module (needs --yes)\n"
        "  firmware FILE.bin             update the firmware and check the module's checksum verdict\n"
        "  scan [CIDR] [--parallel N]    look for modules in a network of at most 1024 addresses\n"
        "                                (default: the /24 of the PC's Wi-Fi link to the module network)\n"
        "\n"
        "Options:\n"
        "  --module ADDRESS[:PORT]       the module (default 192.168.77.1:13577); for scan, the port\n"
        "  --json                        one JSON object per result on standard output\n"
        "  --yes, -y                     do not ask; needed for commands that restart the module\n"
        "  --timeout MS                  wait this long for a connection and for each reply\n"
        "  --help, --version\n"
        "\n"
        "Exit status: 0 done, 1 the module refused or a verdict failed (or another zqb is talking to\n"
        "the module), 2 usage or input error, 3 module unreachable.\n");
}

}  // namespace zqb::cli
