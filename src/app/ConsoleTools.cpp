#include "app/ConsoleTools.h"

#include <QGuiApplication>

#include "diagnostics/DiagnosticsReport.h"
#include "link/AfterExchange.h"

namespace zqb {

ConsoleTools::ConsoleTools(TForm1& form, const ConsoleToolsLinkParts& link, ConsoleToolsSetup setup)
    : form_(form), link_(link), setup_(std::move(setup)), recorder_(link.context), keeper_(link.context)
{
    ConsoleMenuActions actions;
    actions.findModules = [this] { OpenFinder(); };
    actions.trend = [this] { OpenTrend(); };
    actions.saveDiagnostics = [this] { SaveDiagnostics(); };
    // The about box is modal: it waits for the end of a running exchange like the file dialogs.
    actions.about = [this] {
        if (setup_.about) RunAfterExchange(link_.context, this, setup_.about);
    };
    menu_ = new ConsoleMenu(&form_, std::move(actions));
}

// The windows refer to the history and the link kept here: they go first.
ConsoleTools::~ConsoleTools()
{
    delete finder_.data();
    delete trend_.data();
    delete menu_.data();
}

void ConsoleTools::Raise(QWidget* window)
{
    window->show();
    window->raise();
    window->activateWindow();
}

void ConsoleTools::OpenFinder()
{
    if (!finder_) {
        FinderSetup setup;
        setup.hostBackend = setup_.hostBackend;
        setup.givenModuleAddress = setup_.givenModuleAddress;
        setup.lockDirectory = setup_.lockDirectory;
        finder_ = new FinderWindow(link_.context, link_.display, link_.supervisor, setup, &form_);
    }
    Raise(finder_);
    finder_->NetworkEdit->setFocus();
    finder_->StartScan();
}

void ConsoleTools::OpenTrend()
{
    if (!trend_) trend_ = new TrendWindow(recorder_.History(), link_.context, link_.dialogs, &form_);
    Raise(trend_);
}

void ConsoleTools::SaveDiagnostics()
{
    RunAfterExchange(link_.context, this, [this] {
        DiagnosticsSources sources;
        sources.hostBackend = setup_.hostBackend;
        sources.countWired = setup_.givenModuleAddress.has_value();
        sources.linkRecords = &keeper_;
        sources.logLines = form_.Memo1->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        const TForm2& setup = form_.SetupWindow();
        sources.typedKeys = {setup.Edit2->text(), setup.Edit4->text(), setup.Edit6->text()};
        sources.programVersion = setup_.programVersion;
        sources.display = QGuiApplication::platformName();
        const DiagnosticsFacts facts = GatherDiagnostics(link_.context, link_.settings, sources);
        const Outcome saved = SaveDiagnosticsText(link_.dialogs, DiagnosticsText(facts), facts.written);
        if (saved.kind == OutcomeKind::FileError) {
            link_.dialogs.ShowError(QStringLiteral("Cannot save file \"%1\". %2").arg(saved.field, saved.rule));
        } else if (saved.Ok()) {
            form_.SetPanelText(StatusPanel::Message, QStringLiteral("Diagnostics saved"));
            form_.SetPanelDetail(StatusPanel::Message, QStringLiteral("Diagnostics saved to ") + saved.field);
        }
    });
}

}  // namespace zqb
