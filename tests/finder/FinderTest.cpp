// The module finder against simulated modules on 127.0.0.x, one port for all as modules on one
// network listen on one port: what it lists, how fast, why it fails, and linking from a row.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QHeaderView>
#include <QProxyStyle>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "finder/FinderWindow.h"
#include "protocol/ModuleLock.h"
#include "mainwindow/MainWindowRig.h"

namespace zqb::test {
namespace {

class SingleClickStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget, QStyleHintReturn* data) const override
    {
        if (hint == SH_ItemView_ActivateItemOnSingleClick) return 1;
        return QProxyStyle::styleHint(hint, option, widget, data);
    }
};

class Finder : public MainWindowRig {
protected:
    // 127.0.0.1 is the module the console starts with; the others answer beside it.
    static constexpr int Fleet[] = {2, 3, 4, 5, 6, 7, 10};

    Finder()
    {
        for (int attempt = 0; attempt < 5 && modules.size() < std::size(Fleet); ++attempt) {
            modules.clear();
            module.Stop();
            if (!module.Start()) continue;
            for (int i : Fleet) {
                auto other = std::make_unique<zqbsim::ModuleSimulator>();
                zqbsim::ModuleState state;
                state.reportedAddress = {127, 0, 0, static_cast<std::uint8_t>(i)};
                state.mac[5] = static_cast<std::uint8_t>(i);
                state.location = "Bench " + QByteArray::number(i);
                other->SetState(state);
                if (!other->Start(module.Port(), QHostAddress(QStringLiteral("127.0.0.%1").arg(i)))) break;
                modules.emplace(i, std::move(other));
            }
        }
        link.AimAt(QStringLiteral("127.0.0.1"), module.Port());
        At(2).Update([](zqbsim::ModuleState& s) { s.location = "<b>Bench</b> 2\x07"; });
        At(3).Update([](zqbsim::ModuleState& s) {
            s.modelCode = 99;
            s.rssiWord = 65536 - 60;
        });
        holder.Aim(locks.path().toStdString(), "127.0.0.4", module.Port());
        holder.Exclusive(0);
        zqbsim::Misbehaviour silent;
        silent.silent = true;
        At(5).SetBehaviour(silent);
        At(6).Update([](zqbsim::ModuleState& s) { s.reportedAddress = {127, 0, 0, 66}; });
        zqbsim::Misbehaviour refusing;
        refusing.statusFor = {{GetLink, 3}};
        At(7).SetBehaviour(refusing);
        At(10).Update([](zqbsim::ModuleState& s) { s.rssiWord = 0; });

        FinderSetup setup;
        setup.hostBackend = &hostBackend;
        setup.lockDirectory = locks.path();
        finder = std::make_unique<FinderWindow>(link.Context(), link.Display(), link.Supervisor(), setup, form.get());
    }

    void SetUp() override
    {
        ASSERT_EQ(modules.size(), std::size(Fleet));
        ASSERT_EQ(holder.Held(), ModuleLock::Hold::Exclusive);
    }

    zqbsim::ModuleSimulator& At(int lastPart) { return *modules.at(lastPart); }

    // The scan of `network` (empty: the module networks), run to its end.
    bool Scan(const QString& network)
    {
        finder->NetworkEdit->setText(network);
        QSignalSpy finished(finder.get(), &FinderWindow::scanFinished);
        finder->StartScan();
        if (!finder->Scanning()) return finished.count() > 0;  // refused at once, or done already
        return finished.wait(5000);
    }

    QStringList Column(int column) const
    {
        QStringList cells;
        for (int row = 0; row < finder->Table->rowCount(); ++row) cells << finder->Table->item(row, column)->text();
        return cells;
    }

    int RowOf(const QString& address) const { return static_cast<int>(Column(FinderWindow::AddressColumn).indexOf(address)); }

    QTemporaryDir locks;
    ModuleLock holder;
    std::map<int, std::unique_ptr<zqbsim::ModuleSimulator>> modules;
    SingleClickStyle singleClick;  // outlives the window that may use it
    std::unique_ptr<FinderWindow> finder;
};

TEST_F(Finder, ListsEveryModuleThatAnsweredAndTheBusyOneButNotTheSilentOne)
{
    // Filled as the modules answer: the first rows come while the silent one is still awaited.
    std::vector<std::size_t> probesLeftAtRow;
    QObject::connect(finder->Table->model(), &QAbstractItemModel::rowsInserted, finder.get(), [&] {
        probesLeftAtRow.push_back(static_cast<std::size_t>(finder->Progress->maximum() - finder->Progress->value()));
    });
    ASSERT_TRUE(Scan(QStringLiteral("127.0.0.0/28")));
    ASSERT_FALSE(probesLeftAtRow.empty());
    EXPECT_GT(probesLeftAtRow.front(), 0u) << "a row before the scan's end";
    const struct {
        const char* address;
        QString model;
        const char* firmware;
        const char* mac;
        QString location;
        const char* signal;
    } rows[] = {
        {"127.0.0.1", "zQB-AO4K DAC Node (184)", "V01.10", "00:1E:C0:12:34:56", "Lab bench 3", "-45 dBm"},
        {"127.0.0.2", "zQB-AO4K DAC Node (184)", "V01.10", "00:1E:C0:12:34:02", QStringLiteral("<b>Bench</b> 2\u2407"), "-45 dBm"},
        {"127.0.0.3", "Unknow Device?? (99)", "V01.10", "00:1E:C0:12:34:03", "Bench 3", "-60 dBm"},
        {"127.0.0.4", "busy: another program is writing a file to it", "", "", "", ""},
        {"127.0.0.6", "zQB-AO4K DAC Node (184) — reports itself as 127.0.0.66: cannot be linked here", "V01.10",
         "00:1E:C0:12:34:06", "Bench 6", "-45 dBm"},
        {"127.0.0.7", "answered, but the module refused Get Link (status 3)", "", "", "", ""},
        {"127.0.0.10", "zQB-AO4K DAC Node (184)", "V01.10", "00:1E:C0:12:34:0A", "Bench 10", "not reported"},
    };
    ASSERT_EQ(finder->Table->rowCount(), static_cast<int>(std::size(rows))) << Column(0).join(' ').toStdString();
    for (int row = 0; row < finder->Table->rowCount(); ++row) {
        const auto& r = rows[row];
        EXPECT_EQ(finder->Table->item(row, FinderWindow::AddressColumn)->text(), QString::fromLatin1(r.address));
        EXPECT_EQ(finder->Table->item(row, FinderWindow::ModelColumn)->text(), r.model) << r.address;
        EXPECT_EQ(finder->Table->item(row, FinderWindow::FirmwareColumn)->text(), QString::fromLatin1(r.firmware)) << r.address;
        EXPECT_EQ(finder->Table->item(row, FinderWindow::MacColumn)->text(), QString::fromLatin1(r.mac)) << r.address;
        EXPECT_EQ(finder->Table->item(row, FinderWindow::LocationColumn)->text(), r.location) << r.address;
        EXPECT_EQ(finder->Table->item(row, FinderWindow::SignalColumn)->text(), QString::fromLatin1(r.signal)) << r.address;
    }
    EXPECT_TRUE(At(4).Frames().empty()) << "a module in another program's file write is not probed";
    EXPECT_EQ(At(5).Frames().size(), 1u) << "the silent one was asked, and is not listed";
    EXPECT_TRUE(finder->Status->text().startsWith(QStringLiteral("14 addresses of 127.0.0.0/28 scanned on port %1 in ").arg(module.Port())))
        << finder->Status->text().toStdString();
    EXPECT_TRUE(finder->Status->text().endsWith(
        QStringLiteral(": 4 modules found, 1 busy, 1 address accepted the connection but did not answer.")))
        << finder->Status->text().toStdString();
    EXPECT_EQ(finder->Progress->value(), finder->Progress->maximum());

    // Numbers sort as numbers: signals strongest first (chosen by key), then the addresses back
    // in order (by the header).
    finder->SortBox->setFocus();
    QTest::keyClick(finder->SortBox, Qt::Key_End);
    EXPECT_EQ(finder->Table->horizontalHeader()->sortIndicatorSection(), FinderWindow::SignalColumn);
    EXPECT_EQ(Column(FinderWindow::SignalColumn).mid(0, 4), (QStringList{"-45 dBm", "-45 dBm", "-45 dBm", "-60 dBm"}));
    finder->Table->sortByColumn(FinderWindow::AddressColumn, Qt::AscendingOrder);
    EXPECT_EQ(Column(FinderWindow::AddressColumn).last(), QStringLiteral("127.0.0.10"));
    EXPECT_EQ(finder->SortBox->currentText(), QStringLiteral("Address"));
}

TEST_F(Finder, ScansTheModuleNetworkOfTheInterfaceInUnderTwoSeconds)
{
    QElapsedTimer elapsed;
    elapsed.start();
    ASSERT_TRUE(Scan(QString()));
    const qint64 ms = elapsed.elapsed();
    std::printf("[ measured ] 254 addresses of 127.0.0.0/24 with one silent module: %lld ms\n", static_cast<long long>(ms));
    EXPECT_LT(ms, 2000);
    EXPECT_TRUE(finder->Status->text().startsWith(QStringLiteral("254 addresses of 127.0.0.0/24 scanned")))
        << finder->Status->text().toStdString();
    EXPECT_EQ(finder->Table->rowCount(), 7);
}

TEST_F(Finder, AFailedScanSaysWhyInTheWindow)
{
    const struct {
        const char* network;
        bool hostInterface;
        std::optional<QString> given;
        const char* status;
    } cases[] = {
        {"10.1.0.0/16", true, {}, "Scan failed: /16 holds more than 1024 addresses; give /22 or longer"},
        {"10.1.0.0/24", true, {}, "Scan failed: this run is held to loopback addresses, and 10.1.0.0/24 reaches beyond them"},
        {"modules", true, {}, "Scan failed: 'modules' is not a network"},
        {"", false, {}, "Scan failed: no connected Wi-Fi interface of this PC is in 127.0.0.x"},
        // With an address given, its own network is scanned even without an interface in it.
        {"", false, QStringLiteral("127.0.0.9"), "127.0.0.0/24 scanned on port"},
    };
    for (const auto& c : cases) {
        hostBackend.adapters.clear();
        hostBackend.interfaces.clear();
        if (c.hostInterface) hostBackend.AddWifi("127.0.0.5");
        FinderSetup setup;
        setup.hostBackend = &hostBackend;
        setup.givenModuleAddress = c.given;
        finder = std::make_unique<FinderWindow>(link.Context(), link.Display(), link.Supervisor(), setup, form.get());
        Scan(QString::fromLatin1(c.network));
        EXPECT_TRUE(finder->Status->text().contains(QString::fromLatin1(c.status)))
            << c.network << ": " << finder->Status->text().toStdString();
        EXPECT_FALSE(finder->Scanning());
    }
}

TEST_F(Finder, WaitsForTheRunningExchangeAndCanBeCancelled)
{
    context.ExchangeBusy = true;
    finder->NetworkEdit->setText(QStringLiteral("127.0.0.0/22"));
    finder->StartScan();
    QTest::qWait(100);
    EXPECT_FALSE(finder->Scanning()) << "no scan starts inside an exchange";
    EXPECT_EQ(finder->Status->text(), QStringLiteral("Waiting for the exchange with the module to end…"));
    context.ExchangeBusy = false;
    QTRY_VERIFY_WITH_TIMEOUT(finder->Scanning(), 1000);
    EXPECT_TRUE(finder->CancelButton->isEnabled());

    QSignalSpy finished(finder.get(), &FinderWindow::scanFinished);
    QTest::mouseClick(finder->CancelButton, Qt::LeftButton);
    EXPECT_EQ(finished.count(), 1);
    EXPECT_FALSE(finder->Scanning());
    EXPECT_FALSE(finder->CancelButton->isEnabled());
    EXPECT_TRUE(finder->Status->text().startsWith(QStringLiteral("Cancelled after "))) << finder->Status->text().toStdString();
    EXPECT_TRUE(finder->Status->text().contains(QStringLiteral(" of 1022 addresses of 127.0.0.0/22")));
}

// The scan and the console's own exchanges take turns: the link timer's poll waits for the
// scan's end, and while an exchange runs no new probe starts.
TEST_F(Finder, TheScanAndTheConsolesExchangesTakeTurns)
{
    LinkUp();
    QSignalSpy finished(finder.get(), &FinderWindow::scanFinished);
    finder->NetworkEdit->setText(QStringLiteral("127.0.0.0/23"));
    finder->StartScan();
    ASSERT_TRUE(finder->Scanning());

    context.session.linkTick = PeriodicCheckTick;
    link.Supervisor().LinkTimerTick();
    EXPECT_TRUE(FramesWithCode(GetIoStatus).empty()) << "no poll mid-scan";
    EXPECT_EQ(context.session.linkTick, PeriodicCheckTick) << "the check comes again on the next tick";

    // The probes already running end (the silent module's after its reply wait); no other starts.
    context.ExchangeBusy = true;
    QTest::qWait(1300);
    const int held = finder->Progress->value();
    QTest::qWait(200);
    EXPECT_EQ(finder->Progress->value(), held);
    EXPECT_LT(held, finder->Progress->maximum());
    EXPECT_TRUE(finder->Scanning());
    EXPECT_TRUE(finished.isEmpty());

    context.ExchangeBusy = false;
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_TRUE(finder->Status->text().startsWith(QStringLiteral("510 addresses of 127.0.0.0/23 scanned")))
        << finder->Status->text().toStdString();
    EXPECT_TRUE(FramesWithCode(GetIoStatus).empty());
    link.Supervisor().LinkTimerTick();
    EXPECT_EQ(FramesWithCode(GetIoStatus).size(), 1u) << "the poll once the scan has ended";
}

TEST_F(Finder, EnterOrADoubleClickLinksTheConsoleToTheModuleOfTheRow)
{
    LinkUp();
    ASSERT_TRUE(Scan(QStringLiteral("127.0.0.0/28")));

    // A busy row says why it cannot be linked, and nothing moves.
    finder->show();
    finder->Table->setFocus();
    finder->Table->setCurrentCell(RowOf(QStringLiteral("127.0.0.4")), 0);
    QTest::keyClick(finder->Table, Qt::Key_Return);
    EXPECT_TRUE(finder->isVisible());
    EXPECT_EQ(context.session.hostAddress, QStringLiteral("127.0.0.1"));
    EXPECT_TRUE(finder->Status->text().startsWith(QStringLiteral("127.0.0.4 cannot be linked: busy")));

    // A style that activates items on a single click: a click only selects, here as anywhere.
    finder->Table->setStyle(&singleClick);
    const QRect clicked = finder->Table->visualItemRect(finder->Table->item(RowOf(QStringLiteral("127.0.0.2")), 0));
    QTest::mouseClick(finder->Table->viewport(), Qt::LeftButton, {}, clicked.center());
    EXPECT_TRUE(finder->isVisible());
    EXPECT_EQ(context.session.hostAddress, QStringLiteral("127.0.0.1")) << "a single click links nothing";

    enum class Pick { Return, Enter, DoubleClick };
    const struct {
        int module;
        Pick how;
        const char* modelText;
    } picks[] = {{10, Pick::Return, "zQB-AO4K DAC Node"}, {3, Pick::DoubleClick, "Unknow Device??"},
                 {10, Pick::Enter, "zQB-AO4K DAC Node"}};
    for (const auto& pick : picks) {
        const QString address = QStringLiteral("127.0.0.%1").arg(pick.module);
        finder->show();
        const int row = RowOf(address);
        ASSERT_GE(row, 0);
        module.ClearFrames();
        At(pick.module).ClearFrames();
        if (pick.how == Pick::DoubleClick) {
            const QRect cell = finder->Table->visualItemRect(finder->Table->item(row, FinderWindow::LocationColumn));
            QTest::mouseClick(finder->Table->viewport(), Qt::LeftButton, {}, cell.center());
            QTest::mouseDClick(finder->Table->viewport(), Qt::LeftButton, {}, cell.center());
        } else {
            finder->Table->setFocus();
            finder->Table->setCurrentCell(row, 0);
            if (pick.how == Pick::Return)
                QTest::keyClick(finder->Table, Qt::Key_Return);
            else
                QTest::keyClick(finder->Table, Qt::Key_Enter, Qt::KeypadModifier);
        }
        EXPECT_FALSE(finder->isVisible()) << address.toStdString();
        EXPECT_EQ(context.session.hostAddress, address);
        EXPECT_EQ(form->Edit2->text(), address);
        EXPECT_EQ(form->Label4->text(), QStringLiteral("Not linked")) << "the main window waits for the module's link record";
        EXPECT_EQ(context.session.linked, 0) << "nor is the console linked before it";

        link.Supervisor().LinkTimerTick();
        ASSERT_TRUE(At(pick.module).WaitForFrames(1, 2000));
        EXPECT_EQ(HexText(At(pick.module).Frames().front()), "5A 35 77 A5 21 00 00");
        EXPECT_EQ(context.session.linked, 1);
        EXPECT_EQ(form->Label4->text(), QString::fromLatin1(pick.modelText));
        EXPECT_EQ(form->Label5->toolTip(), QStringLiteral("Locate: Bench %1").arg(pick.module));
        EXPECT_TRUE(module.Frames().empty()) << "the module linked before hears nothing more";
    }
}

// A module found on the console's address but another port is a module of its own: the console
// counts as linked again only once its link record came.
TEST_F(Finder, AModuleAtAnotherPortIsLinkedOnlyByItsOwnRecord)
{
    LinkUp();
    zqbsim::ModuleSimulator other;
    zqbsim::ModuleState state;
    state.location = "Other port";
    other.SetState(state);
    ASSERT_TRUE(other.Start());
    ASSERT_TRUE(
        LinkConsoleTo(link.Context(), link.Display(), link.Supervisor(), QStringLiteral("127.0.0.1"), other.Port()));
    EXPECT_EQ(context.session.hostPort, other.Port());
    EXPECT_EQ(context.session.linked, 0) << "the module linked before is not this one";
    EXPECT_EQ(form->StatusBar2->PanelText(0), QStringLiteral("Change IP => 127.0.0.1")) << "as the Static IP button says";

    link.Supervisor().LinkTimerTick();
    ASSERT_TRUE(other.WaitForFrames(1, 2000));
    EXPECT_EQ(context.session.linked, 1);
    EXPECT_EQ(form->Label5->toolTip(), QStringLiteral("Locate: Other port"));
}

}  // namespace
}  // namespace zqb::test
