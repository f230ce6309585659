#pragma once

#include <cstdint>
#include <string>

namespace zqb {

// One module's lock on this PC, shared by every program of the project (the console, zqb and
// the bridge): a file per module address and port, locked with flock(2) (LockFileEx on Windows).
//
// A module takes the next connection after a file or image announcement as that file's data,
// whoever opens it. So an ordinary exchange holds the lock shared for as long as its connection
// is open, and a file write holds it exclusively from its announcement to the end of its data
// and verdict. A program that finds the module held exclusively leaves it alone until then.
//
// Plain standard C++ and the system's calls only, so that the Windows build is compile-checked
// with MinGW like the host network backend.
class ModuleLock {
public:
    enum class Attempt {
        Taken,          // this program holds the lock as asked
        HeldElsewhere,  // another program holds it in a way that excludes the request
        Failed,         // the lock file could not be used (see Error())
    };
    enum class Hold { None, Shared, Exclusive };

    ModuleLock() = default;
    ~ModuleLock();
    ModuleLock(const ModuleLock&) = delete;
    ModuleLock& operator=(const ModuleLock&) = delete;

    // Points the lock at one module's file in `directory`, releasing whatever was held. An empty
    // directory aims it nowhere: every attempt is then taken at once and coordinates nothing.
    void Aim(const std::string& directory, const std::string& address, std::uint16_t port);
    bool Aimed() const { return !path_.empty(); }

    // Never waits. Shared while this program holds it exclusively keeps the exclusive hold.
    Attempt TryShared();
    // Waits up to `waitMs` for sharers elsewhere (an exchange in flight) to finish.
    Attempt Exclusive(int waitMs);
    void Release();
    Hold Held() const { return hold_; }

    // True when another program holds the module exclusively right now; holds nothing afterwards
    // (unless this program already held it).
    bool HeldExclusivelyElsewhere();

    const std::string& Path() const { return path_; }
    const std::string& Error() const { return error_; }

    // $XDG_RUNTIME_DIR/zqb when the runtime directory is there, else a folder of this user's own
    // (mode 0700) under the cache directory; created when missing. Empty, with `problem` set,
    // when no such folder can be had.
    static std::string DefaultDirectory(std::string& problem);
    // The lock file's name for one module: "module-127.0.0.1-13577.lock".
    static std::string FileName(const std::string& address, std::uint16_t port);

private:
    bool Open();
    Attempt Lock(bool exclusive);

    std::string path_;
    std::string error_;
    Hold hold_ = Hold::None;
#ifdef _WIN32
    void* handle_ = nullptr;
#else
    int fd_ = -1;
#endif
};

}  // namespace zqb
