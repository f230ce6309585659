#include "functioncfg/FunctionFileDialogs.h"

#include <QFile>

#include "functioncfg/FunctionFile.h"

namespace zqb {

void ShowFunctionProblem(Dialogs& dialogs, const Outcome& outcome, bool saving)
{
    switch (outcome.kind) {
    case OutcomeKind::Delivered:
    case OutcomeKind::Declined:
        return;
    case OutcomeKind::FileError:
        dialogs.ShowError(QStringLiteral("Cannot %1 file \"%2\". %3")
                              .arg(saving ? QStringLiteral("save") : QStringLiteral("open"), outcome.field, outcome.rule));
        return;
    case OutcomeKind::InputError:
        if (outcome.field == FileHeaderField) {
            dialogs.ShowMessage(FileHeaderErrorText, FileHeaderErrorCaption, MessageIcon::Error, MessageButtons::Ok);
            return;
        }
        dialogs.ShowError(outcome.rule);
        return;
    default:
        dialogs.ShowError(DescribeOutcome(outcome));
        return;
    }
}

QString FormatFunctionFile(const FunctionControls& controls, Dialogs& dialogs)
{
    const Result<QString> line = FunctionFileLine(controls);
    ShowFunctionProblem(dialogs, line.outcome, true);
    return line.value;
}

bool ParseFunctionFile(FunctionControls& controls, const QString& line, Dialogs& dialogs)
{
    const Outcome applied = ApplyFunctionFileLine(controls, line);
    ShowFunctionProblem(dialogs, applied, false);
    return applied.Ok();
}

Outcome SaveFunctionFile(const FunctionControls& controls, Dialogs& dialogs)
{
    // The Off/On check comes before the file dialog: nothing is asked for a function that
    // cannot be saved.
    const Result<QString> line = FunctionFileLine(controls);
    if (!line.Ok()) {
        ShowFunctionProblem(dialogs, line.outcome, true);
        return line.outcome;
    }
    const std::optional<QString> path = dialogs.AskSaveFile(SaveFileFilter, ProposedFileName, FunctionFileExtension);
    if (!path) return Outcome::Cancelled();
    const Outcome written = WriteFunctionFile(controls, QFile::encodeName(*path));
    ShowFunctionProblem(dialogs, written, true);
    return written;
}

Outcome LoadFunctionFile(FunctionControls& controls, Dialogs& dialogs)
{
    const std::optional<QString> path = dialogs.AskOpenFile(OpenFileFilter, FunctionFileExtension);
    if (!path) return Outcome::Cancelled();
    const Outcome read = ReadFunctionFile(controls, QFile::encodeName(*path));
    ShowFunctionProblem(dialogs, read, false);
    return read;
}

}  // namespace zqb
