#pragma once

#include <optional>

#include <QByteArray>
#include <QString>

namespace zqb {

enum class FileAccess {
    Usual,      // as the user's umask allows
    OwnerOnly,  // 0600: the file may tell more about the user's network than others should read
};

// Writes `bytes` as the whole file at `path`: into a new file beside it, checked through its
// flush, then renamed over the old one. A failed write leaves the old file (or none) as it was.
// Nothing when all went well, else the system's reason.
std::optional<QString> WriteWholeFile(const QString& path, const QByteArray& bytes, FileAccess access);

}  // namespace zqb
