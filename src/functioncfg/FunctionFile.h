#pragma once

#include <optional>

#include <QByteArray>
#include <QString>

#include "platform/Dialogs.h"
#include "functioncfg/FunctionControls.h"
#include "functioncfg/FunctionRecordMapping.h"

namespace zqb {

// A function file: "3577", then every field in record order as upper-case hexadecimal, 38
// characters in all, no line end.
inline const QString FunctionFileHeader = QStringLiteral("3577");
inline constexpr qsizetype FunctionFileLength = 38;
// What is read of a file at most: its first line is all that counts.
inline constexpr qint64 FunctionFileReadLimit = 4096;
inline const QString FileHeaderErrorText = QStringLiteral("File Header Error!!");
inline const QString FileHeaderErrorCaption = QStringLiteral("Error!");
inline const QString SaveFileFilter = QStringLiteral("CFG|*.zcf");
inline const QString OpenFileFilter = QStringLiteral("zCF|*.zcf");
inline const QString ProposedFileName = QStringLiteral("DACFunc.zcf");
inline const QString FunctionFileExtension = QStringLiteral("zcf");
// What a file without a single line reports.
inline const QString NoLineText = QStringLiteral("List index out of bounds (0)");

// The 38 characters of the window's function; empty after the Off/On error box.
QString FormatFunctionFile(const FunctionControls& controls, Dialogs& dialogs);

// Checks the header and every column, then sets the controls field by field. A bad column stops
// the load with the number converter's complaint and nothing is applied. True when all were.
bool ParseFunctionFile(FunctionControls& controls, const QString& line, Dialogs& dialogs);

// The first line of a text file's bytes: a byte-order mark picks the encoding, otherwise the
// local 8-bit one applies. Nothing when the file holds no line at all.
std::optional<QString> FirstTextLine(const QByteArray& bytes);

// "Save FIle": asks for a name and replaces the file whole, or leaves it as it was.
void SaveFunctionFile(const FunctionControls& controls, Dialogs& dialogs);
// "Load File": asks for a file and applies its first line.
void LoadFunctionFile(FunctionControls& controls, Dialogs& dialogs);

}  // namespace zqb
