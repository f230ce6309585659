// The zqb program itself: its exit statuses and output as a script sees them. (The lock that keeps
// two programs off one module is met by the program in OneOwnerTest.)
#include <QCoreApplication>
#include <QJsonDocument>
#include <QProcess>

#include "cli/CliRig.h"

namespace zqb::cli::test {
namespace {

struct Finished {
    int status = -1;
    QString out;
    QString err;
};

// Runs the program with loopback-only connections, no display and its locks in `lockDir`.
Finished RunProgram(const QStringList& arguments, const QString& lockDir)
{
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ZQB_LOOPBACK_ONLY"), QStringLiteral("1"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), lockDir);
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(ZQB_PROGRAM), arguments);
    program.closeWriteChannel();
    Finished finished;
    if (!program.waitForFinished(20000)) {
        ADD_FAILURE() << "zqb did not finish: " << arguments.join(' ').toStdString();
        program.kill();
        program.waitForFinished();
        return finished;
    }
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    finished.status = program.exitCode();
    finished.out = QString::fromUtf8(program.readAllStandardOutput());
    finished.err = QString::fromUtf8(program.readAllStandardError());
    return finished;
}

class CliProgram : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(module.Start());
        moduleText = QStringLiteral("127.0.0.1:%1").arg(module.Port());
    }
    Finished Run(const QStringList& arguments) { return RunProgram(arguments, lockDir.path()); }

    zqbsim::ModuleSimulator module;
    QString moduleText;
    QTemporaryDir lockDir;
};

TEST_F(CliProgram, ExitStatusesAndOutputAsAScriptSeesThem)
{
    const QString closedPort = QStringLiteral("127.0.0.1:%1").arg(module.Port() == 65535 ? 65534 : module.Port() + 1);
    const struct {
        QStringList arguments;
        int status;
        const char* out;
        const char* err;
    } cases[] = {
        {{"--version"}, 0, "zqb 1.10 (20200213)", ""},
        {{"--help"}, 0, "zqb [--module ADDRESS[:PORT]] [--json] [--yes] [--timeout MS] COMMAND", ""},
        {{}, 2, "", "no command given"},
        {{"frobnicate"}, 2, "", "unknown command 'frobnicate'"},
        {{"--module", moduleText, "status"}, 0, "model: zQB-AO4K DAC Node (184)", ""},
        {{"--module", closedPort, "status"}, 3, "", "no connection to the module"},
        {{"--module", moduleText, "do", "on"}, 0, "DO on", ""},
    };
    for (const auto& c : cases) {
        const Finished run = Run(c.arguments);
        const std::string name = c.arguments.join(' ').toStdString();
        EXPECT_EQ(run.status, c.status) << name << ": " << run.err.toStdString();
        EXPECT_TRUE(run.out.contains(QLatin1String(c.out))) << name << ": " << run.out.toStdString();
        EXPECT_TRUE(run.err.contains(QLatin1String(c.err))) << name << ": " << run.err.toStdString();
    }
}

TEST_F(CliProgram, JsonStatusParsesBack)
{
    const Finished run = Run({"--module", moduleText, "--json", "status"});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(run.out.toUtf8(), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << run.out.toStdString();
    EXPECT_EQ(document.object()["mac"].toString(), "00:1E:C0:12:34:56");
    EXPECT_EQ(document.object()["module"].toString(), moduleText);
    EXPECT_EQ(run.out.count(QLatin1Char('\n')), 1) << "one object, one line";
}

}  // namespace
}  // namespace zqb::cli::test
