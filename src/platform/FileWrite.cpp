#include "platform/FileWrite.h"

#include <QSaveFile>

namespace zqb {

std::optional<QString> WriteWholeFile(const QString& path, const QByteArray& bytes, FileAccess access)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return file.errorString();
    // Narrowed before the first byte is written, so no reader ever sees the content under wider
    // permissions; the rename keeps them.
    if (access == FileAccess::OwnerOnly && !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return reason.isEmpty() ? QStringLiteral("its permissions could not be narrowed") : reason;
    }
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return reason;
    }
    return std::nullopt;
}

}  // namespace zqb
