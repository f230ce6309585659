#pragma once

#include <cstdint>
#include <optional>

#include <QString>
#include <QStringList>

namespace zqb {

// The console's command line. With no option the console works as it always has: module at
// 192.168.77.1:13577, reached through one connected Wi-Fi interface.
struct ConsoleOptions {
    std::optional<QString> moduleAddress;  // --module ADDRESS[:PORT]
    std::uint16_t modulePort = 13577;
    bool demo = false;                     // --demo: built-in simulator on 127.0.0.1
    std::optional<QString> screenshotFile; // --screenshot FILE
    bool help = false;
    bool version = false;
};

// Parses the arguments (program name first). Works before any application object exists, so
// --help, --version and mistakes need no display. On a mistake returns nothing and puts the
// reason into `error`.
std::optional<ConsoleOptions> ParseConsoleOptions(const QStringList& arguments, QString& error);

// The arguments as the program received them.
QStringList ProgramArguments(int argc, char** argv);

QString ConsoleUsage();
QString ConsoleVersion();

}  // namespace zqb
