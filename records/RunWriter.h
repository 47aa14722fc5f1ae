#pragma once

#include "records/StoredRun.h"

#include <QString>

namespace records {

class Connection;

enum class Written {
    Stored,        ///< the run is in the database now
    AlreadyStored, ///< a run of its id was there already: a second delivery, left out
    Failed,        ///< nothing of it was stored; the error says why
};

/// Writes `run` and its step results in one transaction, to a database of the latest schema.
/// A run whose run_uuid the database holds already is left out whole, so a run delivered again
/// (after a crash between the commit and the spool file's removal) is stored exactly once; two
/// writers delivering it at once store it once as well.
Written WriteRun(Connection& connection, const StoredRun& run, QString& error);

} // namespace records
