#pragma once

#include <QByteArray>
#include <QString>

namespace zqb {

enum class FileMode {
    Shared,   // readable by others as the user's umask allows (function files)
    Private,  // 0600: the file holds keys (settings backups, diagnostics)
};

struct FileWrite {
    bool written = false;
    QString reason;  // why not, in the system's words
};

// Replaces the file at `path` (the name's bytes as the file system has them, so that a name that
// is not valid UTF-8 reaches the same file) with `bytes`, whole or not at all: the bytes go to a
// new file beside it, are flushed to the disk and checked, and only then take the old file's
// place. A full disk, a failed flush or any other failure leaves the old file as it was and says
// why. An existing target that is not a regular file (a device, a pipe, a folder) is refused and
// left alone; a symbolic link to a regular file keeps pointing at the new contents.
FileWrite WriteWholeFile(const QByteArray& path, const QByteArray& bytes, FileMode mode);

struct FileRead {
    bool read = false;
    qint64 size = 0;    // the file's size as the file system gives it
    QByteArray bytes;   // its first bytes, up to the limit asked for
    QString reason;     // why not, in the system's words
};

// Reads a regular file by its name's bytes: its size first, then at most `limit` bytes. Anything
// that is not a regular file (a pipe would block for good, a device never ends) is refused
// unread; a file larger than `limit` is not read at all when `refuseLarger` is set.
FileRead ReadRegularFile(const QByteArray& path, qint64 limit, bool refuseLarger);

}  // namespace zqb
