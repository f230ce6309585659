// "function save" and "function load" against the function window on the same module: the same
// file, byte for byte, and the same record written.
#include <QFile>

#include "cli/CliRig.h"
#include "functioncfg/FunctionRecordMapping.h"
#include "functioncfg/FunctionWindowRig.h"

namespace zqb::test {
namespace {

using cli::test::ReadFile;

FunctionRecord Codes(std::uint16_t off, std::uint16_t on, std::uint8_t enable = 1)
{
    FunctionRecord record = ExampleRecord();
    record[0] = enable;
    PutU16(&record[18], off);
    PutU16(&record[20], on);
    return record;
}

class WindowAndProgram : public ::testing::Test, public FunctionWindowBench {
protected:
    void SetUp() override { StartModule(); }

    int RunZqb(const QStringList& arguments)
    {
        cli::test::CapturedTerminal terminal;
        RecordingPauses noPauses;
        cli::CliServices services{terminal, noPauses,
                                  [] { return std::make_unique<SimulatedHostNetwork>(SimulatedHostNetwork::LoopbackOnly()); },
                                  lockDir.path(), nullptr, 100};
        const int status = cli::RunCli(QStringList{"--module", QStringLiteral("127.0.0.1:%1").arg(module.Port())} + arguments, services);
        EXPECT_EQ(status, 0) << terminal.err.toStdString();
        return status;
    }

    void PutRecord(const FunctionRecord& record)
    {
        module.Update([&record](zqbsim::ModuleState& s) { std::copy(record.begin(), record.end(), s.functionRecord.begin()); });
    }

    QTemporaryDir lockDir;
    QTemporaryDir files;
};

// The window saves right after linking; so does zqb. Records whose Off and On values the
// spacing rule moves show whether the program follows the window's bars or the record.
TEST_F(WindowAndProgram, SavedFunctionFilesAreTheSameBytes)
{
    const FunctionRecord records[] = {
        ExampleRecord(),
        Codes(PercentToDacCode(50), PercentToDacCode(52)),
        Codes(PercentToDacCode(30), PercentToDacCode(30), 0),
        Codes(PercentToDacCode(100), PercentToDacCode(100)),
        Codes(4095, 65535),
    };
    int n = 0;
    for (const FunctionRecord& record : records) {
        PutRecord(record);
        ExchangeGetLink();
        const QString windowFile = files.filePath(QStringLiteral("window%1.zcf").arg(n));
        const QString programFile = files.filePath(QStringLiteral("zqb%1.zcf").arg(n++));
        dialogs.ExpectSaveFile(windowFile);
        form.SpeedButton9Click();
        ASSERT_TRUE(dialogs.AllShown());
        ASSERT_EQ(RunZqb({"function", "save", programFile}), 0);
        EXPECT_EQ(ReadFile(programFile), ReadFile(windowFile)) << n;
        EXPECT_EQ(ReadFile(programFile).size(), 38);
    }
}

// Loading a file on top of the linked function and writing it: the module ends with the record
// the window's "Load File" and "Write Device" would have sent.
TEST_F(WindowAndProgram, LoadedFunctionReachesTheModuleAsTheWindowWritesIt)
{
    const struct {
        FunctionRecord linked;
        QByteArray file;
    } cases[] = {
        {ExampleRecord(), "3577000100020A000100051A0E0000000A030F"},
        {Codes(PercentToDacCode(10), PercentToDacCode(90)), "357701000101050100010B330C0000000A030F"},
        {Codes(PercentToDacCode(60), PercentToDacCode(70)), "3577010001000000000109990A3D0102030405"},
    };
    int n = 0;
    for (const auto& c : cases) {
        const QString path = files.filePath(QStringLiteral("load%1.zcf").arg(n++));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(c.file);
        file.close();

        PutRecord(c.linked);
        ExchangeGetLink();
        dialogs.ExpectOpenFile(path);
        form.SpeedButton7Click();
        dialogs.ExpectMessage(WriteDoneText, InformationCaption, MessageIcon::Information);
        form.SpeedButton8Click();
        ASSERT_TRUE(dialogs.AllShown());
        const auto byWindow = module.State().functionRecord;

        PutRecord(c.linked);
        ASSERT_EQ(RunZqb({"function", "load", path}), 0);
        EXPECT_EQ(module.State().functionRecord, byWindow) << c.file.toStdString();
    }
}

}  // namespace
}  // namespace zqb::test
