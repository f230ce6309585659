#pragma once

#include <gtest/gtest.h>

#include <deque>

#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QThread>

#include "cli/CliArguments.h"
#include "cli/CliProgram.h"
#include "cli/ExitStatus.h"
#include "sim/ModuleSimulator.h"
#include "support/QtPrinters.h"
#include "support/ScriptedDialogs.h"
#include "link/SimulatedHostNetwork.h"

namespace zqb::cli::test {

// Standard output, standard error and standard input of one run, kept in memory.
class CapturedTerminal : public Terminal {
public:
    void WriteOut(const QByteArray& bytes) override { out += bytes; }
    void WriteErr(const QByteArray& bytes) override { err += bytes; }
    bool ErrIsTerminal() const override { return errIsTerminal; }
    bool InIsTerminal() const override { return inIsTerminal; }
    std::optional<QString> ReadLine() override
    {
        if (input.empty()) return std::nullopt;
        QString line = input.front();
        input.pop_front();
        return line;
    }

    QByteArray out;
    QByteArray err;
    bool errIsTerminal = false;
    bool inIsTerminal = false;
    std::deque<QString> input;
};

// Polls `done` until it holds or `timeoutMs` passed.
inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 2000)
{
    QElapsedTimer elapsed;
    elapsed.start();
    while (!done()) {
        if (elapsed.elapsed() > timeoutMs) return false;
        QThread::msleep(5);
    }
    return true;
}

// The bytes of a file, or none when it cannot be read.
inline QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct CliRun {
    int status = -1;
    QString out;
    QString err;

    // Every line of standard output as a JSON object; a line that is none fails the test.
    std::vector<QJsonObject> Objects() const
    {
        std::vector<QJsonObject> objects;
        for (const QString& line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            QJsonParseError error{};
            const QJsonDocument document = QJsonDocument::fromJson(line.toUtf8(), &error);
            EXPECT_EQ(error.error, QJsonParseError::NoError) << line.toStdString();
            EXPECT_TRUE(document.isObject()) << line.toStdString();
            objects.push_back(document.object());
        }
        return objects;
    }
    QJsonObject Object() const
    {
        const std::vector<QJsonObject> objects = Objects();
        EXPECT_EQ(objects.size(), 1u) << out.toStdString();
        return objects.empty() ? QJsonObject() : objects.front();
    }
};

// The program's commands run in this process against a simulated module on 127.0.0.1. The host
// has only its loopback adapter; pauses are recorded and cut short; locks lie in a directory of
// the test's own.
class CliRig : public ::testing::Test {
public:
    CliRig() { pauses.realMs = 20; }

    void StartModule(const QHostAddress& address = QHostAddress(QHostAddress::LocalHost))
    {
        ASSERT_TRUE(module.Start(0, address));
        moduleText = address.toString() + QStringLiteral(":%1").arg(module.Port());
    }

    // Runs "zqb --module <the simulator> ARGUMENTS"; `raw`, when given, holds the arguments'
    // bytes as a program would receive them.
    CliRun Run(QStringList arguments, bool withModule = true, QList<QByteArray> raw = {})
    {
        if (withModule) arguments = QStringList{QStringLiteral("--module"), moduleText} + arguments;
        if (withModule && !raw.isEmpty()) raw = QList<QByteArray>{"--module", moduleText.toLatin1()} + raw;
        terminal.out.clear();
        terminal.err.clear();
        CliServices services{terminal, pauses, [this] { return MakeHost(); }, lockDir.path(), &stop, firmwareTickMs};
        CliRun run;
        run.status = RunCli(arguments, services, raw);
        run.out = QString::fromUtf8(terminal.out);
        run.err = QString::fromUtf8(terminal.err);
        return run;
    }

    std::unique_ptr<HostNetworkBackend> MakeHost() const
    {
        return std::make_unique<SimulatedHostNetwork>(SimulatedHostNetwork(host));
    }

    QString FilePath(const QString& name) const { return files.filePath(name); }

    void Misbehave(const std::function<void(zqbsim::Misbehaviour&)>& change)
    {
        zqbsim::Misbehaviour behaviour = module.Behaviour();
        change(behaviour);
        module.SetBehaviour(behaviour);
    }
    void SetStatusFor(std::uint8_t code, std::uint8_t status)
    {
        Misbehave([&](zqbsim::Misbehaviour& b) { b.statusFor[code] = status; });
    }

    zqbsim::ModuleSimulator module;
    QString moduleText = QStringLiteral("127.0.0.1:1");
    SimulatedHostNetwork host = SimulatedHostNetwork::LoopbackOnly();
    CapturedTerminal terminal;
    zqb::test::RecordingPauses pauses;
    QTemporaryDir lockDir;
    QTemporaryDir files;
    std::atomic<bool> stop{false};
    int firmwareTickMs = 100;
};

}  // namespace zqb::cli::test
