#include "check/RecordTarget.h"

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <cstdio> // renameat2
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace check {
namespace {

QString Reason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

int StandardDescriptor(const QString& path) {
    if (path == "-" || path == "/dev/stdout") return STDOUT_FILENO;
    if (path == "/dev/stderr") return STDERR_FILENO;
    return -1;
}

/// Writes all of `contents` to `fd`, waiting for room as a pipe needs; false, with errno
/// set, when a write failed.
bool WriteAll(int fd, const QByteArray& contents) {
    for (qsizetype done = 0; done < contents.size();) {
        const ssize_t written = ::write(fd, contents.constData() + done, contents.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written < 0) return false;
        done += written;
    }
    return true;
}

/// The hidden name a record is written under before it is renamed to `path`: its name with '.'
/// before it and six letters after.
constexpr long HiddenNameExtra = 8;

/// Why a record may not be written to `path` in its folder; empty when it may.
QString CannotWrite(const QString& path) {
    const QFileInfo info(path);
    if (QString problem = FolderProblem(info.absolutePath()); !problem.isEmpty()) return problem;
    const long longest =
        ::pathconf(QFile::encodeName(info.absolutePath()).constData(), _PC_NAME_MAX);
    if (longest > 0 && QFile::encodeName(info.fileName()).size() + HiddenNameExtra > longest)
        return QString("its name is too long: it is written under a hidden name %1 bytes longer "
                       "first, and names here take at most %2 bytes")
            .arg(HiddenNameExtra)
            .arg(longest);
    return {};
}

/// Why a record may not replace `path`, a file with the status `file`; empty when it may. In a
/// sticky folder (as /tmp) only the file's owner, the folder's or root may rename over it.
QString CannotReplace(const QString& path, const struct stat& file) {
    const QString folderPath = QFileInfo(path).absolutePath();
    if (QString problem = CannotWrite(path); !problem.isEmpty()) return problem;
    struct stat folder {};
    const uid_t me = ::geteuid();
    if (::stat(QFile::encodeName(folderPath).constData(), &folder) == 0 &&
        (folder.st_mode & S_ISVTX) != 0 && me != 0 && file.st_uid != me && folder.st_uid != me)
        return "it belongs to another user, in a folder where only its owner may replace it";
    return {};
}

} // namespace

QString FolderProblem(const QString& folder) {
    struct stat status {};
    if (::stat(QFile::encodeName(folder).constData(), &status) != 0)
        return "the folder " + folder + " cannot be used: " + Reason(errno);
    if (!S_ISDIR(status.st_mode)) return folder + " is not a folder";
    if (::access(QFile::encodeName(folder).constData(), W_OK | X_OK) != 0)
        return "cannot write in the folder " + folder + ": " + Reason(errno);
    return {};
}

namespace {

/// Writes `contents` to a new, hidden file beside `path`, flushed to disk; answers its name,
/// or an empty one (with `error` set and nothing left behind).
QByteArray WriteBeside(const QString& path, const QByteArray& contents, QString& error) {
    const QFileInfo info(path);
    QByteArray name = QFile::encodeName(info.absolutePath() + "/." + info.fileName() + ".XXXXXX");
    hid::OwnedDescriptor fd(::mkostemp(name.data(), O_CLOEXEC));
    if (!fd.valid()) {
        error = Reason(errno);
        return {};
    }
    const bool written = ::fchmod(fd.get(), 0644) == 0 && WriteAll(fd.get(), contents) &&
                         ::fsync(fd.get()) == 0 && ::close(fd.release()) == 0;
    if (!written) {
        error = Reason(errno);
        ::unlink(name.constData());
        return {};
    }
    return name;
}

/// Makes the rename of a file in `path`'s folder last, as far as the disk allows.
void SyncFolder(const QString& path) {
    const hid::OwnedDescriptor folder(::open(
        QFile::encodeName(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_CLOEXEC));
    if (folder.valid()) ::fsync(folder.get());
}

/// Two names for one file: by device and inode where it exists, else by its full name.
QString Identity(const QString& path) {
    if (StandardDescriptor(path) == STDOUT_FILENO) return "standard output";
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) == 0)
        return QString("%1:%2").arg(status.st_dev).arg(status.st_ino);
    const QFileInfo info(path);
    return QDir(info.absolutePath()).canonicalPath() + "/" + info.fileName();
}

} // namespace

std::optional<RecordTarget> RecordTarget::choose(const QString& path, QString& error) {
    RecordTarget target(path);
    if (const int standard = StandardDescriptor(path); standard >= 0) {
        target.straight_ = hid::OwnedDescriptor(::fcntl(standard, F_DUPFD_CLOEXEC, 0));
        if (target.straight_.valid()) return target;
        error = Reason(errno);
        return std::nullopt;
    }
    const QByteArray name = QFile::encodeName(path);
    struct stat link {};
    if (::lstat(name.constData(), &link) != 0) {
        if (errno != ENOENT) {
            error = Reason(errno);
            return std::nullopt;
        }
        error = CannotWrite(path);
        if (!error.isEmpty()) return std::nullopt;
        return target; // a new file
    }
    struct stat status {};
    if (::stat(name.constData(), &status) != 0) {
        error = Reason(errno);
        return std::nullopt;
    }
    if (S_ISREG(status.st_mode)) {
        if (S_ISLNK(link.st_mode)) {
            error = "it is a symbolic link to a file; give the file's own name (or - for "
                    "standard output)";
            return std::nullopt;
        }
        error = CannotReplace(path, status);
        if (!error.isEmpty()) return std::nullopt;
        return target;
    }
    if (S_ISFIFO(status.st_mode) || S_ISCHR(status.st_mode)) {
        // Not blocking: a named pipe without a reader answers ENXIO at once.
        target.straight_ = hid::OwnedDescriptor(
            ::open(name.constData(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
        if (!target.straight_.valid()) {
            error =
                errno == ENXIO ? "nobody reads the pipe; start its reader first" : Reason(errno);
            return std::nullopt;
        }
        if (!S_ISCHR(status.st_mode) || ::isatty(target.straight_.get())) {
            // The record waits for room in a pipe rather than being cut short.
            const int flags = ::fcntl(target.straight_.get(), F_GETFL);
            ::fcntl(target.straight_.get(), F_SETFL, flags & ~O_NONBLOCK);
            return target;
        }
    }
    // A socket's name cannot be opened as a file: a record needs a listener to connect to.
    error = S_ISDIR(status.st_mode)    ? "it is a folder; give a file name"
            : S_ISSOCK(status.st_mode) ? "it is a socket, not a file, pipe or terminal"
                                       : "it is a device or another special file, not a file, "
                                         "pipe or terminal";
    return std::nullopt;
}

bool RecordTarget::write(const QByteArray& contents, QString& error) {
    if (straight_.valid()) {
        if (WriteAll(straight_.get(), contents)) return true;
        error = Reason(errno);
        return false;
    }
    // Looked at again: what the name stands for may have changed during the run.
    struct stat status {};
    const QByteArray name = QFile::encodeName(path_);
    if (::lstat(name.constData(), &status) == 0 && !S_ISREG(status.st_mode)) {
        error = "it is no longer a regular file, and is left as it is";
        return false;
    }
    const QByteArray written = WriteBeside(path_, contents, error);
    if (written.isEmpty()) return false;
    if (::rename(written.constData(), name.constData()) != 0) {
        error = Reason(errno);
        ::unlink(written.constData());
        return false;
    }
    SyncFolder(path_);
    return true;
}

namespace {

/// Gives the written file the name `name` if it is free: 0, or the error (EEXIST: taken). The
/// written file is gone afterwards, whatever happened.
int ClaimName(Claim way, const QByteArray& written, const QByteArray& name) {
    int result = 0;
    switch (way) {
    case Claim::HardLink:
        result = ::link(written.constData(), name.constData());
        break;
    case Claim::NoReplaceRename:
        result = ::renameat2(AT_FDCWD, written.constData(), AT_FDCWD, name.constData(),
                             RENAME_NOREPLACE);
        break;
    case Claim::Placeholder:
        result = hid::OwnedDescriptor(
                     ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644))
                         .valid()
                     ? 0
                     : -1;
        if (result == 0 && ::rename(written.constData(), name.constData()) != 0) {
            const int error = errno;
            ::unlink(name.constData()); // the placeholder, never left empty
            ::unlink(written.constData());
            return error;
        }
        break;
    }
    const int error = result == 0 ? 0 : errno;
    ::unlink(written.constData());
    return error;
}

/// The file system cannot claim a name this way; the next way may.
bool NotOffered(int error) {
    return error == EPERM || error == EOPNOTSUPP || error == ENOSYS || error == EINVAL;
}

} // namespace

NewFile WriteNewFile(const QString& path, const QByteArray& contents, QString& error,
                     std::span<const Claim> ways) {
    const QByteArray name = QFile::encodeName(path);
    int claimError = ENOSYS;
    for (const Claim way : ways) {
        const QByteArray written = WriteBeside(path, contents, error);
        if (written.isEmpty()) return NewFile::Failed;
        claimError = ClaimName(way, written, name);
        if (!NotOffered(claimError)) break;
    }
    if (claimError == EEXIST) return NewFile::Taken;
    if (claimError != 0) {
        error = Reason(claimError);
        return NewFile::Failed;
    }
    SyncFolder(path);
    return NewFile::Written;
}

QString SameFile(const std::vector<std::pair<QString, QString>>& files) {
    for (std::size_t i = 0; i < files.size(); ++i)
        for (std::size_t j = i + 1; j < files.size(); ++j) {
            const auto& [first, firstPath] = files[i];
            const auto& [second, secondPath] = files[j];
            if (!firstPath.isEmpty() && !secondPath.isEmpty() &&
                Identity(firstPath) == Identity(secondPath))
                return first + " and " + second + " are the same file, " + secondPath;
        }
    return {};
}

} // namespace check
