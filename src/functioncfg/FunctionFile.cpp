#include "functioncfg/FunctionFile.h"

#include <QFile>
#include <QStringDecoder>

#include "platform/IntegerText.h"
#include "platform/SafeFile.h"

namespace zqb {

Result<QString> FunctionFileLine(const FunctionControls& controls)
{
    const Result<FunctionValues> values = FunctionValuesOf(controls);
    if (!values.Ok()) return {values.outcome, {}};
    QString text = FunctionFileHeader;
    for (const FunctionFieldLayout& layout : FunctionFieldTable) {
        const std::uint32_t mask = layout.fileDigits == 2 ? 0xFFu : 0xFFFFu;
        const std::uint32_t value = values.value[static_cast<std::size_t>(layout.field)] & mask;
        text += QStringLiteral("%1").arg(value, layout.fileDigits, 16, QLatin1Char('0')).toUpper();
    }
    return {Outcome::Done(), text};
}

Outcome ApplyFunctionFileLine(FunctionControls& controls, const QString& line)
{
    if (!line.startsWith(FunctionFileHeader)) return Outcome::BadInput(FileHeaderField, FileHeaderErrorText);
    // Every column is checked before any is applied: a file that breaks half-way must not leave
    // a mixed function in the window for "Write Device" to send.
    FunctionValues values{};
    qsizetype column = FunctionFileHeader.size();
    for (const FunctionFieldLayout& layout : FunctionFieldTable) {
        // A line that ends inside or before a column gives fewer digits or none.
        const QString text = QStringLiteral("0x") + line.mid(column, layout.fileDigits);
        column += layout.fileDigits;
        const std::optional<std::int32_t> value = ParseInteger(text);
        if (!value) return Outcome::BadInput(FileColumnField, InvalidIntegerText(text));
        values[static_cast<std::size_t>(layout.field)] = static_cast<std::uint32_t>(*value);
    }
    for (const FunctionFieldLayout& layout : FunctionFieldTable)
        ApplyField(controls, layout.field, values[static_cast<std::size_t>(layout.field)]);
    return Outcome::Done();
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

Outcome WriteFunctionFile(const FunctionControls& controls, const QByteArray& path)
{
    const Result<QString> line = FunctionFileLine(controls);
    if (!line.Ok()) return line.outcome;
    const FileWrite written = WriteWholeFile(path, line.value.toLatin1(), FileMode::Shared);
    return written.written ? Outcome::Done() : Outcome::File(QFile::decodeName(path), written.reason);
}

Outcome ReadFunctionFile(FunctionControls& controls, const QByteArray& path)
{
    // Only a regular file is read, and only its start: a pipe would block the window for good
    // and a device would never end. The format needs 38 characters.
    const FileRead file = ReadRegularFile(path, FunctionFileReadLimit, false);
    if (!file.read) return Outcome::File(QFile::decodeName(path), file.reason);
    const std::optional<QString> line = FirstTextLine(file.bytes);
    if (!line) return Outcome::BadInput(FileColumnField, NoLineText);
    return ApplyFunctionFileLine(controls, *line);
}

}  // namespace zqb
