#include "platform/SafeFile.h"

#ifdef _WIN32
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#else
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace zqb {

#ifdef _WIN32

FileRead ReadRegularFile(const QByteArray& path, qint64 limit, bool refuseLarger)
{
    const QString name = QString::fromLocal8Bit(path);
    const QFileInfo info(name);
    if (!info.isFile()) return {false, 0, {}, QStringLiteral("It is not a regular file.")};
    FileRead result{false, info.size(), {}, {}};
    if (refuseLarger && result.size > limit) return result;
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) {
        result.reason = file.errorString();
        return result;
    }
    result.bytes = file.read(limit);
    result.read = file.error() == QFileDevice::NoError;
    if (!result.read) result.reason = file.errorString();
    return result;
}

FileWrite WriteWholeFile(const QByteArray& path, const QByteArray& bytes, FileMode)
{
    QSaveFile file(QString::fromLocal8Bit(path));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush() || !file.commit()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return {false, reason};
    }
    return {true, {}};
}

#else

namespace {

QString SystemReason(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

FileWrite Failed(int error) { return {false, SystemReason(error)}; }

bool WriteAll(int fd, const char* data, qsizetype length)
{
    while (length > 0) {
        const ssize_t n = ::write(fd, data, static_cast<size_t>(length));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        length -= n;
    }
    return true;
}

mode_t SharedMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

FileRead ReadRegularFile(const QByteArray& path, qint64 limit, bool refuseLarger)
{
    FileRead result;
    // Opened without waiting, so a pipe cannot hold the program; checked before a byte is read.
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        result.reason = SystemReason(errno);
        return result;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        result.reason = QStringLiteral("It is not a regular file.");
        ::close(fd);
        return result;
    }
    result.size = static_cast<qint64>(info.st_size);
    if (refuseLarger && result.size > limit) {
        ::close(fd);
        return result;
    }
    result.bytes.resize(static_cast<qsizetype>(std::min<qint64>(limit, result.size)));
    qsizetype got = 0;
    while (got < result.bytes.size()) {
        const ssize_t n = ::read(fd, result.bytes.data() + got, static_cast<size_t>(result.bytes.size() - got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            result.reason = SystemReason(errno);
            ::close(fd);
            return result;
        }
        if (n == 0) break;
        got += n;
    }
    result.bytes.truncate(got);
    result.read = true;
    ::close(fd);
    return result;
}

FileWrite WriteWholeFile(const QByteArray& path, const QByteArray& bytes, FileMode mode)
{
    QByteArray target = path;
    struct stat info {};
    if (::stat(path.constData(), &info) == 0) {
        if (!S_ISREG(info.st_mode)) return {false, QStringLiteral("It is not a regular file.")};
        // A link keeps pointing where it did: the file it names gets the new contents.
        char resolved[PATH_MAX];
        if (::realpath(path.constData(), resolved)) target = QByteArray(resolved);
    } else if (errno != ENOENT) {
        return Failed(errno);
    }

    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray(".") : (slash == 0 ? QByteArray("/") : target.left(slash));
    const QByteArray name = slash < 0 ? target : target.mid(slash + 1);
    QByteArray temporary = folder + "/." + name + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) return Failed(errno);

    int error = 0;
    if (!WriteAll(fd, bytes.constData(), bytes.size())) error = errno;
    // The flush is where a full disk shows on many file systems: nothing counts as written
    // before it succeeded.
    if (!error && ::fsync(fd) != 0) error = errno;
    if (!error && ::fchmod(fd, mode == FileMode::Private ? 0600 : SharedMode()) != 0) error = errno;
    if (::close(fd) != 0 && !error) error = errno;
    if (!error && ::rename(temporary.constData(), target.constData()) != 0) error = errno;
    if (error) {
        ::unlink(temporary.constData());
        return Failed(error);
    }
    // The rename itself reaches the disk with its folder.
    const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return {true, {}};
}

#endif

}  // namespace zqb
