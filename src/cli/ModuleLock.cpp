#include "cli/ModuleLock.h"

#include <QDir>
#include <QFileInfo>

namespace zqb::cli {

ModuleLock::ModuleLock(const QString& directory, const QString& address, std::uint16_t port)
    : path_(QDir(directory).filePath(QStringLiteral("zqb-module-%1-%2.lock").arg(address).arg(port))),
      file_(std::make_unique<QLockFile>(path_))
{
    // A firmware update or a watch holds the module far longer than the default 30 s; only a
    // holder that has gone away makes the lock stale.
    file_->setStaleLockTime(0);
}

bool ModuleLock::TryLock() { return file_->tryLock(0); }

QString ModuleLock::Reason() const
{
    switch (file_->error()) {
    case QLockFile::LockFailedError: {
        qint64 pid = 0;
        QString host;
        QString application;
        if (file_->getLockInfo(&pid, &host, &application))
            return QStringLiteral("another zqb (process %1) is talking to this module").arg(pid);
        return QStringLiteral("another zqb is talking to this module");
    }
    case QLockFile::PermissionError:
        return QStringLiteral("cannot create the lock file %1: permission denied").arg(path_);
    default:
        return QStringLiteral("cannot create the lock file %1").arg(path_);
    }
}

QString ModuleLock::DefaultDirectory()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir()) return runtime;
    return QDir::tempPath();
}

}  // namespace zqb::cli
