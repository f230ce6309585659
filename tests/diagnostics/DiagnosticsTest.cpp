// The diagnostics report: what it tells, that no key reaches it in text or in hex, and how it is
// written (through the file dialog, after any running exchange, 0600, the old file kept on failure).
#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <unistd.h>

#include "app/ConsoleTools.h"
#include "diagnostics/DiagnosticsReport.h"
#include "mainwindow/MainWindowRig.h"
#include "setup/Setup.h"

namespace zqb::test {
namespace {

constexpr auto OwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser;

class Diagnostics : public MainWindowRig {
protected:
    Diagnostics()
    {
        pauses.realMs = 20;  // the module takes an announcement before its data comes
        module.Update([](zqbsim::ModuleState& s) {
            s.apSecurity = 1;
            s.apKey = "ApKey-4711x";
            s.staKeyType = 2;
            s.staKey = "StaKey-0815y";
        });
        // The tail of a longer key written before stays behind the length byte in the record.
        module.Update([](zqbsim::ModuleState& s) {
            const QByteArray area = "ApKey-4711xOLD9";
            std::copy(area.begin(), area.end(), s.configRecord.begin() + 33);
        });
    }

    void LinkAndRecord()
    {
        StartModule();
        const std::size_t before = context.outcomes.Size();
        LinkUp();
        // The report's outcomes are the console's own: the link record's exchange, once.
        ASSERT_EQ(context.outcomes.Size(), before + 1);
        const Outcome recorded = context.outcomes.Last(1).front().outcome;
        EXPECT_EQ(recorded.kind, OutcomeKind::Delivered) << DescribeOutcome(recorded).toStdString();
        EXPECT_EQ(recorded.command, GetLink);
    }

    QString Save()
    {
        const QString path = folder.filePath(QStringLiteral("report.txt"));
        dialogs.ExpectSaveFile(path);
        tools.SaveDiagnostics();
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) return {};
        return QString::fromUtf8(file.readAll());
    }

    static QStringList HexForms(const QByteArray& key)
    {
        return {QString::fromLatin1(key.toHex(' ').toUpper()), QString::fromLatin1(key.toHex(' ')),
                QString::fromLatin1(key.toHex().toUpper()), QString::fromLatin1(key.toHex())};
    }

    QTemporaryDir folder;
    int abouts = 0;
    ConsoleTools tools{*form, {link.Context(), link.GetDialogs(), link.Settings(), link.Display(), link.Supervisor()},
                       ConsoleToolsSetup{&hostBackend, std::nullopt, QString(), QStringLiteral("zqb-console test"),
                                         [this] { ++abouts; }}};
};

TEST_F(Diagnostics, NoKeyReachesTheReportInTextOrHex)
{
    LinkAndRecord();
    TForm2& setup = form->SetupWindow();
    setup.ShowSessionSettings();
    setup.Edit3->setText(QStringLiteral("Plant-5"));
    setup.RadioButton5->setChecked(true);
    setup.Edit4->setText(QStringLiteral("NewSta-Key42"));
    dialogs.ExpectMessageStartingWith(QStringLiteral("Modify STA SSID, execute?"), MessageAnswer::Yes);
    dialogs.ExpectMessageStartingWith(QStringLiteral("STA SSID write complete"));
    ASSERT_EQ(setup.Image3Click(), ActionOutcome::Done);
    setup.Edit6->setText(QStringLiteral("Wk9#z"));
    dialogs.ExpectMessageStartingWith(QStringLiteral("Modify WEB Key, execute?"), MessageAnswer::Yes);
    dialogs.ExpectMessageStartingWith(QStringLiteral("WEB Key write complete"));
    ASSERT_EQ(setup.Image5Click(), ActionOutcome::Done);
    setup.Edit2->setText(QStringLiteral("Typed-Ap-9"));  // typed, never applied
    // Careless texts of the future: a key known to the console is blotted out wherever it is.
    form->AppendLog(QStringLiteral("echo StaKey-0815y"));
    form->AppendLog(QStringLiteral("login Wk9#z"));
    form->AppendLog(QStringLiteral("typed Typed-Ap-9"));
    context.outcomes.Record(Outcome::BadInput(QStringLiteral("AP key"), QStringLiteral("ApKey-4711x is refused")));

    const QString report = Save();
    ASSERT_FALSE(report.isEmpty());
    for (const QByteArray key : {"ApKey-4711x", "StaKey-0815y", "NewSta-Key42", "Wk9#z", "OLD9", "Typed-Ap-9"}) {
        EXPECT_FALSE(report.contains(QString::fromLatin1(key))) << key.constData();
        for (const QString& hex : HexForms(key)) EXPECT_FALSE(report.contains(hex, Qt::CaseInsensitive)) << hex.toStdString();
    }
    EXPECT_EQ(QFile::permissions(folder.filePath(QStringLiteral("report.txt"))), OwnerOnly);

    const QStringList lines = report.split(QLatin1Char('\n'));
    for (const char* line : {
             "Program: zqb-console test",
             "Address: 127.0.0.1, port %1",
             "Linked: yes",
             "  Model: zQB-AO4K DAC Node (184)",
             "  Firmware: V01.10",
             "  MAC: 00:1E:C0:12:34:56",
             "  Address: 127.0.0.1",
             "  Signal: -45 dBm",
             "  Wi-Fi mode: access point",
             "  Access point SSID: \"zQB-AP-123456\", security WPA/WPA2, key [key redacted]",
             "  Station SSID: \"LabNet\", key type WPA/WPA2, key [key redacted]",
             "  Fixed station address: not in use",
             "  Modbus: port 502, idle time-out 120 s",
             "  Location: \"Lab bench 3\"",
             "Result: one interface counted: the module's network is reachable",
             "STA_KEY =************",
             "WEB Key =*****",
             "echo [key redacted]",
             "login [key redacted]",
             "typed [key redacted]",
             "The module's own, from its last link record.",
             // The length bytes stay; the key areas are stars, stale tails included.
             "0020  0B ** ** ** ** ** ** ** ** ** ** ** ** ** ** **",
             "0050  0C ** ** ** ** ** ** ** ** ** ** ** ** ** ** **",
         }) {
        const QString wanted = QString::fromLatin1(line).contains(QLatin1String("%1"))
                                   ? QString::fromLatin1(line).arg(module.Port())
                                   : QString::fromLatin1(line);
        EXPECT_TRUE(lines.contains(wanted)) << line;
    }
    EXPECT_EQ(report.count(QStringLiteral("  COUNTED")), 1) << "the one Wi-Fi adapter in 127.0.0.x";
    EXPECT_TRUE(QRegularExpression(QStringLiteral(R"(\n\S+  Get Link  delivered: Get Link done\n)")).match(report).hasMatch());
    EXPECT_TRUE(report.contains(QStringLiteral("  -  input_error: AP key: [key redacted] is refused\n")));
    ASSERT_EQ(dialogs.fileDialogs.size(), 1);
    EXPECT_TRUE(QRegularExpression(QStringLiteral(R"(^save Text\|\*\.txt zqb-diagnostics-\d{8}-\d{6}\.txt txt$)"))
                    .match(dialogs.fileDialogs[0])
                    .hasMatch())
        << dialogs.fileDialogs[0].toStdString();
    EXPECT_EQ(form->StatusBar2->PanelText(0), QStringLiteral("Diagnostics saved"));
}

// A web key may be one to three characters: found inside words it would blot out ordinary text,
// so in the lines from elsewhere it is blotted out where it stands as a word of its own.
TEST(DiagnosticsRedaction, ShortKeysAreBlottedOutWhereTheyStandAsWords)
{
    DiagnosticsFacts facts;
    facts.keys = {"k1", "#", "Wk9#z"};
    facts.logLines = {"WEB Key =k1", "k1", "bank1 k10 xk1 K1", "key \"k1\", then #", "C# and #1", "Wk9#zz"};
    facts.outcomes = {{QDateTime::currentDateTimeUtc(), Outcome::BadInput(QStringLiteral("web key"), QStringLiteral("k1 refused"))}};
    const QString text = DiagnosticsText(facts);
    for (const char* line : {"WEB Key =[key redacted]\n", "\n[key redacted]\n", "\nbank1 k10 xk1 K1\n",
                             "\nkey \"[key redacted]\", then [key redacted]\n", "\nC# and #1\n",
                             "\n[key redacted]z\n", "web key: [key redacted] refused\n"})
        EXPECT_TRUE(text.contains(QString::fromLatin1(line))) << line << "\n" << text.toStdString();
}

TEST_F(Diagnostics, TheLastFiveHundredLogLinesAndFiftyOutcomes)
{
    for (int i = 0; i < 620; ++i) form->AppendLog(QStringLiteral("line %1").arg(i));
    for (int i = 0; i < 70; ++i) context.outcomes.Record(Outcome::RefusedWith(SetDo, static_cast<std::uint8_t>(i)));
    const QString report = Save();
    EXPECT_TRUE(report.contains(QStringLiteral("== Diagnostic log, last 500 of at most 500 lines ==\nline 120\n")));
    EXPECT_TRUE(report.contains(QStringLiteral("line 619\n")));
    EXPECT_FALSE(report.contains(QStringLiteral("line 119\n")));
    EXPECT_TRUE(report.contains(QStringLiteral("== Outcomes, last 50 of at most 50 ==\n")));
    EXPECT_EQ(report.count(QStringLiteral("  Set DO  refused: the module refused Set DO (status ")), 50);
    EXPECT_TRUE(report.contains(QStringLiteral("(status 20)\n")));
    EXPECT_FALSE(report.contains(QStringLiteral("(status 19)\n")));
    EXPECT_TRUE(report.contains(QStringLiteral("No link record has come from the module in this run.")));
    EXPECT_TRUE(report.contains(QStringLiteral("Not the module's own: not read since the start or a reset to defaults.")));
}

TEST_F(Diagnostics, WrittenAfterTheRunningExchangeOverTheOldFileOrNotAtAll)
{
    const QString path = folder.filePath(QStringLiteral("report.txt"));
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old report");
    old.close();
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther));

    // No file dialog inside an exchange's socket wait: it comes once the exchange has ended.
    context.ExchangeBusy = true;
    dialogs.ExpectSaveFile(path);
    tools.Menu().SaveDiagnosticsAction->trigger();
    QTest::qWait(80);
    EXPECT_TRUE(dialogs.fileDialogs.isEmpty());
    context.ExchangeBusy = false;
    QTRY_COMPARE_WITH_TIMEOUT(dialogs.fileDialogs.size(), 1, 1000);
    QFile replaced(path);
    ASSERT_TRUE(replaced.open(QIODevice::ReadOnly));
    EXPECT_TRUE(replaced.readAll().startsWith("zQB IO Console diagnostics\n"));
    EXPECT_EQ(QFile::permissions(path), OwnerOnly) << "narrowed, though the old file was readable by others";

    // No name given: nothing written, nothing said.
    form->SetPanelText(StatusPanel::Message, QString());
    dialogs.ExpectSaveFile(std::nullopt);
    tools.SaveDiagnostics();
    EXPECT_EQ(form->StatusBar2->PanelText(0), QString());

    // A folder that is not there: an error box, and no claim of success.
    const QString nowhere = folder.filePath(QStringLiteral("missing/report.txt"));
    dialogs.ExpectSaveFile(nowhere);
    dialogs.ExpectMessageStartingWith(QStringLiteral("Cannot save file \"%1\". ").arg(nowhere));
    tools.SaveDiagnostics();
    EXPECT_EQ(form->StatusBar2->PanelText(0), QString());

    // A folder the user may not write to: the old file stays as it was. (The superuser writes
    // anywhere, so there is nothing to refuse it.)
    if (geteuid() != 0) {
        ASSERT_TRUE(QFile::setPermissions(folder.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        dialogs.ExpectSaveFile(path);
        dialogs.ExpectMessageStartingWith(QStringLiteral("Cannot save file \"%1\". ").arg(path));
        tools.SaveDiagnostics();
        QFile::setPermissions(folder.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QFile kept(path);
        ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
        EXPECT_TRUE(kept.readAll().startsWith("zQB IO Console diagnostics\n"));
    }
}

}  // namespace
}  // namespace zqb::test
