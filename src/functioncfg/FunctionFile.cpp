#include "functioncfg/FunctionFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

#include "functioncfg/FunctionRecordMapping.h"
#include "platform/IntegerText.h"

namespace zqb {

QString FormatFunctionFile(const FunctionControls& controls, Dialogs& dialogs)
{
    const std::optional<FunctionValues> values = ReadFunctionValues(controls, dialogs);
    if (!values) return {};
    QString text = FunctionFileHeader;
    for (const FunctionFieldLayout& layout : FunctionFieldTable) {
        const std::uint32_t mask = layout.fileDigits == 2 ? 0xFFu : 0xFFFFu;
        const std::uint32_t value = (*values)[static_cast<std::size_t>(layout.field)] & mask;
        text += QStringLiteral("%1").arg(value, layout.fileDigits, 16, QLatin1Char('0')).toUpper();
    }
    return text;
}

bool ParseFunctionFile(FunctionControls& controls, const QString& line, Dialogs& dialogs)
{
    if (!line.startsWith(FunctionFileHeader)) {
        dialogs.ShowMessage(FileHeaderErrorText, FileHeaderErrorCaption, MessageIcon::Error, MessageButtons::Ok);
        return false;
    }
    // Every column is checked before any is applied: a file that breaks half-way must not leave
    // a mixed function in the window for "Write Device" to send.
    FunctionValues values{};
    qsizetype column = FunctionFileHeader.size();
    for (const FunctionFieldLayout& layout : FunctionFieldTable) {
        // A line that ends inside or before a column gives fewer digits or none.
        const QString text = QStringLiteral("0x") + line.mid(column, layout.fileDigits);
        column += layout.fileDigits;
        const std::optional<std::int32_t> value = ParseInteger(text);
        if (!value) {
            dialogs.ShowError(InvalidIntegerText(text));
            return false;
        }
        values[static_cast<std::size_t>(layout.field)] = static_cast<std::uint32_t>(*value);
    }
    for (const FunctionFieldLayout& layout : FunctionFieldTable)
        ApplyField(controls, layout.field, values[static_cast<std::size_t>(layout.field)]);
    return true;
}

std::optional<QString> FirstTextLine(const QByteArray& bytes)
{
    QString text;
    if (const std::optional<QStringConverter::Encoding> encoding = QStringConverter::encodingForData(bytes)) {
        QStringDecoder decode(*encoding);
        text = decode(bytes);
    } else {
        text = QString::fromLocal8Bit(bytes);
    }
    if (text.isEmpty()) return std::nullopt;
    qsizetype end = 0;
    while (end < text.size() && text[end] != QLatin1Char('\r') && text[end] != QLatin1Char('\n')) ++end;
    return text.left(end);
}

void SaveFunctionFile(const FunctionControls& controls, Dialogs& dialogs)
{
    const QString text = FormatFunctionFile(controls, dialogs);
    if (text.isEmpty()) return;
    const std::optional<QString> path = dialogs.AskSaveFile(SaveFileFilter, ProposedFileName, FunctionFileExtension);
    if (!path) return;

    // Written beside the target and renamed over it on success, so a failed save leaves the old
    // file (or none) and never a cut-off one.
    QSaveFile file(*path);
    const QByteArray bytes = text.toLatin1();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        dialogs.ShowError(QStringLiteral("Cannot save file \"%1\". %2").arg(*path, reason));
    }
}

void LoadFunctionFile(FunctionControls& controls, Dialogs& dialogs)
{
    const std::optional<QString> path = dialogs.AskOpenFile(OpenFileFilter, FunctionFileExtension);
    if (!path) return;

    // Only a regular file is read, and only its start: a pipe would block the window for good
    // and a device would never end. The format needs 38 characters.
    QFile file(*path);
    QByteArray bytes;
    const bool regular = QFileInfo(*path).isFile();
    if (regular && file.open(QIODevice::ReadOnly)) bytes = file.read(FunctionFileReadLimit);
    if (!regular || !file.isOpen() || file.error() != QFileDevice::NoError) {
        const QString reason = regular ? file.errorString() : QStringLiteral("It is not a regular file.");
        dialogs.ShowError(QStringLiteral("Cannot open file \"%1\". %2").arg(*path, reason));
        return;
    }
    file.close();

    const std::optional<QString> line = FirstTextLine(bytes);
    if (!line) {
        dialogs.ShowError(NoLineText);
        return;
    }
    ParseFunctionFile(controls, *line, dialogs);
}

}  // namespace zqb
