#pragma once

#include <optional>

#include <QByteArray>
#include <QString>

#include "functioncfg/FunctionControls.h"
#include "functioncfg/FunctionRecordMapping.h"
#include "protocol/Outcome.h"

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

// What a function file line was refused for: its header, or a column the number converter
// cannot read (the outcome's rule holds the converter's complaint).
inline const QString FileHeaderField = QStringLiteral("file header");
inline const QString FileColumnField = QStringLiteral("file column");

// The 38 characters of the controls' function; an input error when the Off value is above the
// On value.
Result<QString> FunctionFileLine(const FunctionControls& controls);

// Checks the header and every column, then sets the controls field by field. A bad column stops
// the line with the number converter's complaint and nothing is applied.
Outcome ApplyFunctionFileLine(FunctionControls& controls, const QString& line);

// The first line of a text file's bytes: a byte-order mark picks the encoding, otherwise the
// local 8-bit one applies. Nothing when the file holds no line at all.
std::optional<QString> FirstTextLine(const QByteArray& bytes);

// Writes the controls' function to the file `path` names (its bytes as the file system has them),
// whole or not at all: a failed write (a full disk included) leaves the file as it was.
Outcome WriteFunctionFile(const FunctionControls& controls, const QByteArray& path);
// Reads a regular file's first line (at most 4 KiB are read) and applies it to the controls.
Outcome ReadFunctionFile(FunctionControls& controls, const QByteArray& path);

}  // namespace zqb
