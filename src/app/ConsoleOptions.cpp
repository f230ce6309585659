#include "ConsoleOptions.h"

#include <QHostAddress>

namespace zqb {

namespace {

// ADDRESS[:PORT] with a dotted IPv4 address and a port 1-65535.
bool ParseModule(const QString& text, ConsoleOptions& options, QString& error)
{
    QString address = text;
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    if (colon >= 0) {
        address = text.left(colon);
        bool ok = false;
        const uint port = text.mid(colon + 1).toUInt(&ok);
        if (!ok || port == 0 || port > 65535) {
            error = QStringLiteral("--module: '%1' is not a port number (1-65535)").arg(text.mid(colon + 1));
            return false;
        }
        options.modulePort = static_cast<std::uint16_t>(port);
    }
    QHostAddress parsed;
    if (address.count(QLatin1Char('.')) != 3 || !parsed.setAddress(address) ||
        parsed.protocol() != QAbstractSocket::IPv4Protocol) {
        error = QStringLiteral("--module: '%1' is not an IPv4 address").arg(address);
        return false;
    }
    options.moduleAddress = address;
    return true;
}

}  // namespace

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
        } else if (arg == QLatin1String("--demo")) {
            options.demo = true;
        } else if (arg == QLatin1String("--module")) {
            const auto text = value();
            if (!text || !ParseModule(*text, options, error)) return std::nullopt;
        } else if (arg == QLatin1String("--screenshot")) {
            const auto file = value();
            if (!file) return std::nullopt;
            options.screenshotFile = *file;
        } else if (arg.startsWith(QLatin1String("-platform")) || arg.startsWith(QLatin1String("-style"))) {
            ++i;  // Qt's own options are taken by QApplication
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
        "  --help                   show this text\n");
}

QString PrefixOfAddress(const QString& address)
{
    const QStringList parts = address.split(QLatin1Char('.'));
    return parts.mid(0, 3).join(QLatin1Char('.')) + QLatin1Char('.');
}

}  // namespace zqb
