#include "protocol/ModuleLock.h"

#include <chrono>
#include <cstdlib>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace zqb {

namespace {

constexpr int PollMs = 5;

#ifdef _WIN32
const char Separator = '\\';
#else
const char Separator = '/';

std::string SystemError(const std::string& what, int error) { return what + ": " + std::strerror(error); }

// One folder of the path, made private when this program creates it.
bool MakeFolder(const std::string& path, std::string& problem)
{
    if (::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST) return true;
    problem = SystemError("cannot create " + path, errno);
    return false;
}

// The lock folder must be a real folder of this user that nobody else can write into: another
// user could otherwise plant or remove lock files.
bool Private(const std::string& path, std::string& problem)
{
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        problem = SystemError("cannot use " + path, errno);
        return false;
    }
    if (!S_ISDIR(info.st_mode)) {
        problem = path + " is not a folder";
        return false;
    }
    if (info.st_uid != ::geteuid()) {
        problem = path + " belongs to another user";
        return false;
    }
    if ((info.st_mode & 077) != 0 && ::chmod(path.c_str(), 0700) != 0) {
        problem = SystemError("cannot make " + path + " private", errno);
        return false;
    }
    return true;
}
#endif

std::string Environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

}  // namespace

ModuleLock::~ModuleLock()
{
    Release();
#ifdef _WIN32
    if (handle_) CloseHandle(static_cast<HANDLE>(handle_));
#else
    if (fd_ >= 0) ::close(fd_);
#endif
}

std::string ModuleLock::FileName(const std::string& address, std::uint16_t port)
{
    // Addresses reach here checked; anything else still never leaves the folder.
    std::string name = "module-";
    for (char c : address) name += (c == '.' || (c >= '0' && c <= '9')) ? c : '_';
    return name + "-" + std::to_string(port) + ".lock";
}

void ModuleLock::Aim(const std::string& directory, const std::string& address, std::uint16_t port)
{
    Release();
#ifdef _WIN32
    if (handle_) CloseHandle(static_cast<HANDLE>(handle_));
    handle_ = nullptr;
#else
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
#endif
    error_.clear();
    path_ = directory.empty() ? std::string() : directory + Separator + FileName(address, port);
}

bool ModuleLock::Open()
{
#ifdef _WIN32
    if (handle_) return true;
    HANDLE h = CreateFileA(path_.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error_ = "cannot open the lock file " + path_ + " (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    handle_ = h;
    return true;
#else
    if (fd_ >= 0) return true;
    fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd_ < 0) {
        error_ = SystemError("cannot open the lock file " + path_, errno);
        return false;
    }
    return true;
#endif
}

ModuleLock::Attempt ModuleLock::Lock(bool exclusive)
{
    if (!Aimed()) {
        hold_ = exclusive ? Hold::Exclusive : Hold::Shared;
        return Attempt::Taken;
    }
    if (!Open()) return Attempt::Failed;
#ifdef _WIN32
    // A Windows lock is not converted: the old one goes first.
    if (hold_ != Hold::None) {
        OVERLAPPED whole{};
        UnlockFileEx(static_cast<HANDLE>(handle_), 0, 1, 0, &whole);
        hold_ = Hold::None;
    }
    OVERLAPPED at{};
    const DWORD flags = LOCKFILE_FAIL_IMMEDIATELY | (exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0);
    if (LockFileEx(static_cast<HANDLE>(handle_), flags, 0, 1, 0, &at)) {
        hold_ = exclusive ? Hold::Exclusive : Hold::Shared;
        return Attempt::Taken;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING) return Attempt::HeldElsewhere;
    error_ = "cannot lock " + path_ + " (error " + std::to_string(error) + ")";
    return Attempt::Failed;
#else
    if (::flock(fd_, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) == 0) {
        hold_ = exclusive ? Hold::Exclusive : Hold::Shared;
        return Attempt::Taken;
    }
    // A lock that is being converted is given up first: after a refusal nothing is held.
    hold_ = Hold::None;
    if (errno == EWOULDBLOCK) return Attempt::HeldElsewhere;
    error_ = SystemError("cannot lock " + path_, errno);
    return Attempt::Failed;
#endif
}

ModuleLock::Attempt ModuleLock::TryShared()
{
    if (hold_ != Hold::None) return Attempt::Taken;
    return Lock(false);
}

ModuleLock::Attempt ModuleLock::Exclusive(int waitMs)
{
    if (hold_ == Hold::Exclusive) return Attempt::Taken;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        const Attempt attempt = Lock(true);
        if (attempt != Attempt::HeldElsewhere) return attempt;
        if (std::chrono::steady_clock::now() >= deadline) return attempt;
        std::this_thread::sleep_for(std::chrono::milliseconds(PollMs));
    }
}

void ModuleLock::Release()
{
    if (hold_ == Hold::None) return;
    hold_ = Hold::None;
#ifdef _WIN32
    if (handle_) {
        OVERLAPPED whole{};
        UnlockFileEx(static_cast<HANDLE>(handle_), 0, 1, 0, &whole);
    }
#else
    if (fd_ >= 0) ::flock(fd_, LOCK_UN);
#endif
}

bool ModuleLock::HeldExclusivelyElsewhere()
{
    if (hold_ != Hold::None || !Aimed()) return false;
    const Attempt attempt = Lock(false);
    if (attempt == Attempt::Taken) Release();
    return attempt == Attempt::HeldElsewhere;
}

std::string ModuleLock::DefaultDirectory(std::string& problem)
{
#ifdef _WIN32
    const std::string base = Environment("LOCALAPPDATA");
    if (base.empty()) {
        problem = "LOCALAPPDATA is not set";
        return {};
    }
    const std::string zqbFolder = base + "\\zqb";
    const std::string locks = zqbFolder + "\\locks";
    CreateDirectoryA(zqbFolder.c_str(), nullptr);
    CreateDirectoryA(locks.c_str(), nullptr);
    const DWORD attributes = GetFileAttributesA(locks.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        problem = "cannot create " + locks;
        return {};
    }
    return locks;
#else
    const std::string runtime = Environment("XDG_RUNTIME_DIR");
    struct stat info {};
    if (!runtime.empty() && runtime[0] == '/' && ::stat(runtime.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        const std::string folder = runtime + "/zqb";
        if (MakeFolder(folder, problem) && Private(folder, problem)) return folder;
        return {};
    }
    std::string cache = Environment("XDG_CACHE_HOME");
    if (cache.empty() || cache[0] != '/') {
        const std::string home = Environment("HOME");
        if (home.empty() || home[0] != '/') {
            problem = "neither XDG_RUNTIME_DIR nor HOME is set: there is no private folder for the module locks";
            return {};
        }
        cache = home + "/.cache";
    }
    const std::string zqbFolder = cache + "/zqb";
    const std::string locks = zqbFolder + "/locks";
    if (MakeFolder(cache, problem) && MakeFolder(zqbFolder, problem) && MakeFolder(locks, problem) &&
        Private(locks, problem))
        return locks;
    return {};
#endif
}

}  // namespace zqb
