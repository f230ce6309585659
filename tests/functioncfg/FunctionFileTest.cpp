// Function files: formatting and parsing a line, saving and loading through the dialogs.
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>

#include "functioncfg/FunctionFile.h"
#include "functioncfg/FunctionFileDialogs.h"
#include "functioncfg/FunctionRecordMapping.h"
#include "functioncfg/FunctionWindowRig.h"
#include "platform/IntegerText.h"

namespace zqb::test {
namespace {

class FunctionFiles : public FunctionWindowRig {
protected:
    QString PathOf(const QString& name) const { return dir.filePath(name); }

    QString Write(const QString& name, const QByteArray& bytes) const
    {
        QFile file(PathOf(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    }

    static QByteArray Read(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // The file dialog answers with `path`; the boxes expected afterwards come in `then`.
    void Load(const QString& path, const std::function<void()>& then = {})
    {
        dialogs.ExpectOpenFile(path);
        if (then) then();
        form.SpeedButton7Click();
    }

    void Save(const QString& path, const std::function<void()>& then = {})
    {
        dialogs.ExpectSaveFile(path);
        if (then) then();
        form.SpeedButton9Click();
    }

    QTemporaryDir dir;
};

TEST_F(FunctionFiles, DefaultWindowFormatsAsHeaderAndZeros)
{
    EXPECT_EQ(FormatFunctionFile(form, dialogs), QStringLiteral("3577") + QString(34, QLatin1Char('0')));
}

TEST_F(FunctionFiles, ExampleWindowSavesAsTheExampleLine)
{
    ApplyRecord(ExampleRecord());
    const QString path = PathOf("example.zcf");
    Save(path);
    EXPECT_EQ(Read(path), ExampleFile.toLatin1()) << "38 bytes, no BOM, no line end";
    EXPECT_EQ(dialogs.fileDialogs, QStringList{"save CFG|*.zcf DACFunc.zcf zcf"});
}

TEST_F(FunctionFiles, ExampleFileLoadsIntoTheWindowItDescribes)
{
    Load(Write("example.zcf", ExampleFile.toLatin1()));
    EXPECT_EQ(dialogs.fileDialogs, QStringList{"open zCF|*.zcf zcf"});
    const QStringList loaded = Snapshot();

    FunctionWindowBench other;
    other.ApplyRecord(ExampleRecord());
    EXPECT_EQ(loaded, other.Snapshot());
}

TEST_F(FunctionFiles, SaveThenLoadChangesNothing)
{
    ApplyRecord(ExampleRecord());
    form.TrackBar3->setValue(9);
    form.CheckBox6->setChecked(true);
    const QStringList before = Snapshot();
    const QString path = PathOf("round.zcf");
    Save(path);
    Load(path);
    EXPECT_EQ(Snapshot(), before);
}

TEST_F(FunctionFiles, SpacingRuleMovesBothBarsWhileOffIsLoaded)
{
    ShowOffOn(0, 10);
    Load(Write("example.zcf", ExampleFile.toLatin1()));
    EXPECT_EQ(Off(), 15);
    EXPECT_EQ(On(), 80);
}

TEST_F(FunctionFiles, SaveOverAnExistingFileReplacesItWhole)
{
    const QString path = Write("old.zcf", QByteArray(500, 'x') + "\r\n");
    Save(path);
    EXPECT_EQ(Read(path), (QStringLiteral("3577") + QString(34, QLatin1Char('0'))).toLatin1());
}

TEST_F(FunctionFiles, OffAboveOnSavesNothingAndAsksForNoName)
{
    ShowOffOn(50, 60);
    form.TrackBar5->setValue(95);
    ASSERT_EQ(On(), 5);
    dialogs.ExpectMessage(OffAboveOnText, {}, MessageIcon::Error);
    form.SpeedButton9Click();
    EXPECT_TRUE(dialogs.fileDialogs.isEmpty());
}

TEST_F(FunctionFiles, CancelledDialogsTouchNothing)
{
    dialogs.ExpectSaveFile(std::nullopt);
    form.SpeedButton9Click();
    const QStringList before = Snapshot();
    dialogs.ExpectOpenFile(std::nullopt);
    form.SpeedButton7Click();
    EXPECT_EQ(Snapshot(), before);
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST_F(FunctionFiles, UnwritableTargetIsReportedAndLeavesNoFile)
{
    const QString path = PathOf("missing-folder/DACFunc.zcf");
    Save(path, [&] { dialogs.ExpectMessageStartingWith(QStringLiteral("Cannot save file \"%1\".").arg(path)); });
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].icon, MessageIcon::Error);
    EXPECT_GT(dialogs.shown[0].text.size(), QStringLiteral("Cannot save file \"%1\". ").arg(path).size())
        << "the reason follows the name";
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST_F(FunctionFiles, TargetThatIsAFolderKeepsTheFolderAndReports)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir("taken.zcf"));
    Save(PathOf("taken.zcf"), [&] {
        dialogs.ExpectMessageStartingWith(QStringLiteral("Cannot save file \"%1\".").arg(PathOf("taken.zcf")));
    });
    EXPECT_TRUE(QFileInfo(PathOf("taken.zcf")).isDir());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{});
}

TEST_F(FunctionFiles, EmptyFileShowsThePlainErrorBoxAndChangesNothing)
{
    ApplyRecord(ExampleRecord());
    const QStringList before = Snapshot();
    Load(Write("empty.zcf", {}),
         [&] { dialogs.ExpectMessage(NoLineText, Dialogs::ApplicationTitle(), MessageIcon::Error); });
    EXPECT_EQ(Snapshot(), before);
}

TEST_F(FunctionFiles, UnreadableFileShowsAnErrorNamingItAndChangesNothing)
{
    const QStringList before = Snapshot();
    const QString path = PathOf("gone.zcf");
    Load(path, [&] { dialogs.ExpectMessageStartingWith(QStringLiteral("Cannot open file \"%1\".").arg(path)); });
    EXPECT_EQ(Snapshot(), before);
}

// A pipe would block the window for good, a device would never end: only regular files are read.
TEST_F(FunctionFiles, WhatIsNoRegularFileIsRefusedAtOnce)
{
    const QString fifo = PathOf("pipe.zcf");
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    const QString zeros = PathOf("zeros.zcf");
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), zeros));
    const QStringList before = Snapshot();
    for (const QString& path : {fifo, zeros, dir.path()}) {
        Load(path, [&] { dialogs.ExpectMessageStartingWith(QStringLiteral("Cannot open file \"%1\".").arg(path)); });
        EXPECT_EQ(Snapshot(), before);
    }
}

TEST_F(FunctionFiles, OnlyTheStartOfALongFileIsRead)
{
    QByteArray bytes = ExampleFile.toLatin1() + "\n";
    bytes.append(QByteArray(8 * 1024 * 1024, 'x'));
    Load(Write("huge.zcf", bytes));
    EXPECT_EQ(On(), 80);
}

TEST_F(FunctionFiles, OnlyTheFirstThirtyEightCharactersOfTheFirstLineCount)
{
    Load(Write("long.zcf", ExampleFile.toLatin1() + "ZZZZ\r\n3577000000000000000000000000000000000000\r\n"));
    EXPECT_TRUE(dialogs.AllShown());
    EXPECT_EQ(Snapshot(), [] {
        FunctionWindowBench other;
        other.ApplyRecord(ExampleRecord());
        return other.Snapshot();
    }());
}

TEST_F(FunctionFiles, ByteOrderMarkSelectsTheEncoding)
{
    QStringEncoder utf16(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom);
    const QByteArray bytes = utf16(ExampleFile + QStringLiteral("\r\n"));
    Load(Write("utf16.zcf", bytes));
    EXPECT_EQ(Off(), 20);
    EXPECT_EQ(On(), 80);
    EXPECT_EQ(form.Label6->text(), "12 Sec");
}

class FunctionLines : public FunctionWindowRig {};

TEST_F(FunctionLines, LowerCaseDigitsLoadLikeUpperCase)
{
    ASSERT_TRUE(ParseFunctionFile(form, ExampleFile.toLower(), dialogs));
    const QStringList lower = Snapshot();
    FunctionWindowBench other;
    ASSERT_TRUE(ParseFunctionFile(other.form, ExampleFile, other.dialogs));
    EXPECT_EQ(lower, other.Snapshot());
}

TEST_F(FunctionLines, ThirtySevenCharactersTakeTheLastFieldFromOneDigit)
{
    ASSERT_TRUE(ParseFunctionFile(form, ExampleFile.left(36) + QStringLiteral("7"), dialogs));
    EXPECT_EQ(form.Label6->text(), "7 Sec");
}

// A file that breaks anywhere applies nothing: "Write Device" must never send half of it.
TEST_F(FunctionLines, BadColumnAppliesNothing)
{
    form.TrackBar4->setValue(5);
    const QStringList before = Snapshot();
    QString badTon = ExampleFile;
    badTon.replace(30, 2, QStringLiteral("g2"));
    QString badDi0TrigDo = ExampleFile;
    badDi0TrigDo.replace(8, 2, QStringLiteral("0Z"));
    const struct {
        QString line;
        const char* complaint;
    } cases[] = {
        {ExampleFile.left(36), "'0x' is not a valid integer value"},  // the last column missing
        {badTon, "'0xg2' is not a valid integer value"},
        {badDi0TrigDo, "'0x0Z' is not a valid integer value"},  // breaks at column 9
    };
    for (const auto& c : cases) {
        dialogs.ExpectMessage(QString::fromLatin1(c.complaint), Dialogs::ApplicationTitle(), MessageIcon::Error);
        EXPECT_FALSE(ParseFunctionFile(form, c.line, dialogs)) << c.complaint;
        EXPECT_EQ(Snapshot(), before) << c.complaint;
    }
}

TEST_F(FunctionLines, WrongHeaderChangesNothing)
{
    const QStringList before = Snapshot();
    for (const QString& line : {QStringLiteral("3578010101000305000103330CCC000204010C"), QStringLiteral("357")}) {
        dialogs.ExpectMessage(FileHeaderErrorText, FileHeaderErrorCaption, MessageIcon::Error);
        EXPECT_FALSE(ParseFunctionFile(form, line, dialogs));
        EXPECT_EQ(Snapshot(), before);
    }
}

TEST_F(FunctionLines, FfColumnsAreHeldAtTheBarsEnds)
{
    QString line = ExampleFile;
    line.replace(12, 2, QStringLiteral("FF"));  // doDelayOn
    line.replace(28, 2, QStringLiteral("FF"));  // di0DacDelayOn
    line.replace(34, 2, QStringLiteral("FF"));  // tOff
    ASSERT_TRUE(ParseFunctionFile(form, line, dialogs));
    EXPECT_EQ(form.Label2->text(), "10 Sec");
    EXPECT_EQ(form.Label5->text(), "15 Sec");
    EXPECT_EQ(form.Label12->text(), "10 Sec");
}

TEST_F(FunctionLines, FallingEdgeReplacesRisingEdge)
{
    form.RadioButton1->setChecked(true);
    QString line = ExampleFile;
    line.replace(6, 2, QStringLiteral("00"));
    ASSERT_TRUE(ParseFunctionFile(form, line, dialogs));
    EXPECT_TRUE(form.RadioButton2->isChecked());
}

}  // namespace
}  // namespace zqb::test
