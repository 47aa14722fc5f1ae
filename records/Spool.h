#pragma once

#include "records/StoredRun.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace records {

/// The runs waiting for the database: a folder holding one JSON file per run (RunJson), each
/// written whole and flushed to disk before it takes its name, as the check's own records are.
/// A file's name begins with the time it was spooled, so that the names' order is the runs'.
class Spool {
public:
    explicit Spool(QString folder) : folder_(std::move(folder)) {}

    const QString& folder() const { return folder_; }
    /// Adds `run` after those waiting, making the folder when missing: the file's path; nothing,
    /// with `error` set, when it could not be written whole (nothing is left behind then).
    std::optional<QString> add(const StoredRun& run, QString& error);
    /// The files waiting, oldest first.
    QStringList waiting() const;
    /// The run of the spool file `path`; nothing, with `error` set, when it cannot be read.
    static std::optional<StoredRun> read(const QString& path, QString& error);

private:
    QString folder_;
};

/// The spool of the database `url`: the folder `beside` (a station's records folder) or, with
/// none, $XDG_STATE_HOME/zov-usb-test (~/.local/state/zov-usb-test), each holding a
/// records-spool/<first 12 hex digits of the URL's SHA-256> folder (an SQLite file's URL taken
/// with its absolute path), so that runs spooled for one database never go to another.
QString SpoolFolder(const QString& url, const QString& beside);

} // namespace records
