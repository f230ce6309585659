// zqb: the module from the command line, on the console's own protocol, transfer and settings
// code, without any window.
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <iostream>
#include <string>

#include <QCoreApplication>

#include "cli/CliProgram.h"
#include "link/ModuleLink.h"
#include "platform/Pauses.h"
#include "link/PlatformHostNetwork.h"

namespace {

class ProcessTerminal : public zqb::cli::Terminal {
public:
    void WriteOut(const QByteArray& bytes) override
    {
        std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout);
        std::fflush(stdout);
    }
    void WriteErr(const QByteArray& bytes) override
    {
        std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stderr);
        std::fflush(stderr);
    }
    bool ErrIsTerminal() const override { return ::isatty(STDERR_FILENO) == 1; }
    bool InIsTerminal() const override { return ::isatty(STDIN_FILENO) == 1; }
    std::optional<QString> ReadLine() override
    {
        std::string line;
        if (!std::getline(std::cin, line)) return std::nullopt;
        return QString::fromLocal8Bit(line.c_str());
    }
};

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // Numbers go out with a full stop whatever the user's locale: scripts read them.
    std::setlocale(LC_NUMERIC, "C");

    QStringList arguments;
    QList<QByteArray> raw;
    for (int i = 1; i < argc; ++i) {
        raw << QByteArray(argv[i]);
        arguments << QString::fromLocal8Bit(argv[i]);
    }

    ProcessTerminal terminal;
    zqb::ThreadPauses pauses;
    // Without a private folder for the module locks, zqb still runs; it then cannot keep other
    // programs of this PC off the module during a file write, and says so.
    std::string lockProblem;
    const std::string lockDirectory = zqb::ModuleLink::DefaultLockDirectory(lockProblem);
    if (lockDirectory.empty()) std::fprintf(stderr, "zqb: module locks: %s\n", lockProblem.c_str());
    zqb::cli::CliServices services{terminal, pauses, [] { return zqb::MakePlatformHostNetwork(); },
                                   QString::fromStdString(lockDirectory), nullptr, 100};
    return zqb::cli::RunCli(arguments, services, raw);
}
