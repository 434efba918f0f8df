// SPDX-License-Identifier: GPL-3.0-or-later
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <csignal>
#include <cstring>

#include "changes/trailfile.h"

namespace kavren::changes {

namespace {

constexpr mode_t kGroupOrOthers = S_IRWXG | S_IRWXO;

QString systemError(const QString& what, const QString& path) {
    return QStringLiteral("cannot %1 %2: %3")
        .arg(what, path, QString::fromLocal8Bit(std::strerror(errno)));
}

// Closes a descriptor on every way out.
class Descriptor final {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

// Creates the missing folders of `folder` with mode 0700, parents first.
bool makePrivateFolders(const QString& folder, unsigned& widerMode, QString& error) {
    struct stat info {};
    const QByteArray name = QFile::encodeName(folder);
    if (::stat(name.constData(), &info) == 0) {
        if (!S_ISDIR(info.st_mode)) {
            error = QStringLiteral("cannot create %1: a file has that name").arg(folder);
            return false;
        }
        if ((info.st_mode & kGroupOrOthers) != 0)
            widerMode = info.st_mode & 07777;
        return true;
    }
    const QString parent = QFileInfo(folder).path();
    unsigned parentMode = 0;  // a parent is not ours to judge
    if (parent != folder && !makePrivateFolders(parent, parentMode, error))
        return false;
    if (::mkdir(name.constData(), S_IRWXU) != 0 && errno != EEXIST) {
        error = systemError(QStringLiteral("create"), folder);
        return false;
    }
    return true;
}

bool writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

QString linkError(const QString& path) {
    return QStringLiteral("audit trail %1 is a symbolic link; it is not followed").arg(path);
}

QString ownerError(const QString& path, uid_t owner) {
    return QStringLiteral("audit trail %1 belongs to another user (uid %2); it is not used")
        .arg(path)
        .arg(owner);
}

}  // namespace

bool trailFileUsable(const QString& path, QString& error) {
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return true;  // missing: it is created private; other faults show on opening
    if (S_ISLNK(info.st_mode)) {
        error = linkError(path);
        return false;
    }
    if (info.st_uid != ::geteuid()) {
        error = ownerError(path, info.st_uid);
        return false;
    }
    return true;
}

bool appendTrailLine(const QString& path, const QByteArray& line, TrailAppend& found,
                     QString& error) {
    const QString folder = QFileInfo(path).absolutePath();
    if (!makePrivateFolders(folder, found.widerFolderMode, error))
        return false;
    const QByteArray name = QFile::encodeName(path);
    // Exclusive creation first, so that we know whether the folder's entry
    // is new and must be synced too.
    bool created = true;
    // O_EXCL never follows a link; O_NOFOLLOW keeps the second open from
    // following one planted in between.
    int fd = ::open(name.constData(), O_RDWR | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC,
                    S_IRUSR | S_IWUSR);
    if (fd < 0 && errno == EEXIST) {
        created = false;
        fd = ::open(name.constData(), O_RDWR | O_APPEND | O_CLOEXEC | O_NOFOLLOW);
    }
    if (fd < 0 && errno == ELOOP) {
        error = linkError(path);
        return false;
    }
    if (fd < 0) {
        error = systemError(QStringLiteral("open"), path);
        return false;
    }
    const Descriptor file(fd);
    // Held until the descriptor closes: runs appending at once take turns.
    while (::flock(fd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            error = systemError(QStringLiteral("lock"), path);
            return false;
        }
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        error = systemError(QStringLiteral("examine"), path);
        return false;
    }
    if (info.st_uid != ::geteuid()) {
        error = ownerError(path, info.st_uid);
        return false;
    }
    if (!created && (info.st_mode & kGroupOrOthers) != 0)
        found.widerFileMode = info.st_mode & 07777;
    // A line torn by a crash has no line end; ours must not be glued to it.
    QByteArray bytes = line;
    char last = '\n';
    if (info.st_size > 0 && ::pread(fd, &last, 1, info.st_size - 1) == 1 && last != '\n')
        bytes.prepend('\n');
    if (!writeAll(fd, bytes.constData(), static_cast<std::size_t>(bytes.size())) ||
        ::fsync(fd) != 0) {
        error = systemError(QStringLiteral("write"), path);
        return false;
    }
    if (created) {
        const Descriptor directory(
            ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (directory.get() < 0 || ::fsync(directory.get()) != 0) {
            error = systemError(QStringLiteral("sync the folder"), folder);
            return false;
        }
    }
    return true;
}

void endProcessAbruptly() {
    ::raise(SIGKILL);
    ::_exit(137);
}

}  // namespace kavren::changes
