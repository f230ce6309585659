#include "link/ConsoleOptions.h"

#include "link/ModuleAddress.h"

namespace zqb {

std::optional<ConsoleOptions> ParseConsoleOptions(const QStringList& arguments, QString& error)
{
    ConsoleOptions options;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        auto value = [&]() -> std::optional<QString> {
            if (i + 1 >= arguments.size()) {
                error = QStringLiteral("%1 needs a value").arg(arg);
                return std::nullopt;
            }
            return arguments[++i];
        };
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            options.help = true;
        } else if (arg == QLatin1String("--version")) {
            options.version = true;
        } else if (arg == QLatin1String("--demo")) {
            options.demo = true;
        } else if (arg == QLatin1String("--module")) {
            const auto text = value();
            if (!text) return std::nullopt;
            const std::optional<ModuleAddress> module = ParseModuleAddress(*text, error);
            if (!module) {
                error = QStringLiteral("--module: ") + error;
                return std::nullopt;
            }
            options.moduleAddress = module->address;
            options.modulePort = module->port;
        } else if (arg == QLatin1String("--screenshot")) {
            const auto file = value();
            if (!file) return std::nullopt;
            options.screenshotFile = *file;
        } else if (arg == QLatin1String("-platform") || arg == QLatin1String("-style") ||
                   arg == QLatin1String("-display")) {
            if (!value()) return std::nullopt;  // Qt's own options are taken by QApplication
        } else {
            error = QStringLiteral("unknown option '%1'").arg(arg);
            return std::nullopt;
        }
    }
    if (options.demo && options.moduleAddress) {
        error = QStringLiteral("--demo and --module cannot be combined");
        return std::nullopt;
    }
    return options;
}

QString ConsoleUsage()
{
    return QStringLiteral(
        "Usage: zqb-console [options]\n"
        "\n"
        "Without options the console looks for the module at 192.168.77.1:13577 through the\n"
        "PC's one Wi-Fi connection to the module's access point.\n"
        "\n"
        "  --module ADDRESS[:PORT]  start with this module address (and port); wired and\n"
        "                           loopback interfaces in the module's network count too\n"
        "  --demo                   run against the built-in module simulator on 127.0.0.1\n"
        "  --screenshot FILE        save a PNG of the main window once linked (or after 5 s)\n"
        "                           and exit; works with QT_QPA_PLATFORM=offscreen\n"
        "  --help                   show this text\n"
        "  --version                show the program's version\n");
}

QString ConsoleVersion() { return QStringLiteral("zqb-console 1.10 (20200213)\n"); }

QStringList ProgramArguments(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}



}  // namespace zqb
