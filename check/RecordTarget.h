#pragma once

#include "hid/OwnedDescriptor.h"

#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace check {

/// Where a record goes, looked at before anything is sent to the board, and written once the
/// run is over:
/// - a regular file, or a name not yet taken, in a folder that exists and can be written (in a
///   sticky folder such as /tmp, a file of one's own): the record is written beside it,
///   flushed to disk, then renamed into place, so the name holds the whole record or whatever
///   it held before, never an empty or half record;
/// - "-" or /dev/stdout (standard output), /dev/stderr, a pipe (a reader must be there) or a
///   terminal: written straight;
/// - anything else (a device node, a socket, a folder, a symbolic link to a file) is refused.
///   Nothing
///   but a regular file is ever replaced.
class RecordTarget {
public:
    /// Looks at `path`; answers nothing, with `error` saying why, when a record may not go
    /// there. Creates and changes nothing; a pipe is opened now, so one without a reader is
    /// refused at once.
    static std::optional<RecordTarget> choose(const QString& path, QString& error);

    const QString& path() const { return path_; }
    /// Writes `contents` whole; answers false with `error` set when any write, the flush to
    /// disk or the rename failed, leaving no file of its own behind.
    bool write(const QByteArray& contents, QString& error);

private:
    explicit RecordTarget(QString path) : path_(std::move(path)) {}

    QString path_;
    hid::OwnedDescriptor straight_; ///< open for writing straight; invalid for a file
};

/// Why records cannot be written in `folder` (it is missing, no folder, or not writable);
/// empty when they can.
QString FolderProblem(const QString& folder);

enum class NewFile { Written, Taken, Failed };
/// How a written file takes its name only while the name is free, each way tried when the
/// file system does not offer the one before: a hard link (the name appears with the whole
/// record at once); a rename that refuses to replace (file systems without hard links, such
/// as vfat and exFAT on a USB stick); an empty placeholder made exclusively, then replaced by
/// the record.
enum class Claim { HardLink, NoReplaceRename, Placeholder };
inline constexpr Claim EveryClaim[] = {Claim::HardLink, Claim::NoReplaceRename, Claim::Placeholder};
/// Writes `contents` to a new file named `path`, beside it first and flushed to disk; never
/// replaces a file already there (Taken). Failed, with `error` set, leaves nothing behind.
NewFile WriteNewFile(const QString& path, const QByteArray& contents, QString& error,
                     std::span<const Claim> ways = EveryClaim);

/// The first pair of outputs (and the plan, read from) that are one file, by name or by
/// device and inode, as "'--json' and '--junit' are the same file x"; empty when none are.
/// Each entry is {what it is, its path}; empty paths are not asked for and are left out.
QString SameFile(const std::vector<std::pair<QString, QString>>& files);

} // namespace check
