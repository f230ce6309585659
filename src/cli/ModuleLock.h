#pragma once

#include <cstdint>
#include <memory>

#include <QLockFile>
#include <QString>

namespace zqb::cli {

// One zqb at a time talks to a module: a lock file named after the module's address and port,
// taken without waiting for as long as the command runs. A lock left by a process that no
// longer runs is taken over.
class ModuleLock {
public:
    ModuleLock(const QString& directory, const QString& address, std::uint16_t port);
    // True when this process now holds the module.
    bool TryLock();
    // Why TryLock failed, for the user.
    QString Reason() const;
    QString Path() const { return path_; }

    // $XDG_RUNTIME_DIR when it exists, else the temporary directory.
    static QString DefaultDirectory();

private:
    QString path_;
    std::unique_ptr<QLockFile> file_;
};

}  // namespace zqb::cli
