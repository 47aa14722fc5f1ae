#pragma once

#include <QString>

namespace records {

class Connection;

/// The schema's versions: 1 the runs and their step results; 2 adds the label scanned from the
/// board (runs.scanned_label), the try of a step retried and whether it was tried again
/// (step_results.try_number, retried), and the teardown steps (step_results.teardown).
inline constexpr int LatestSchema = 2;

/// Brings the database to schema version `target`, from whatever version it holds (none: an
/// empty database), each migration in turn, all in one transaction that other writers wait
/// for; so four stations starting at once migrate it once. Refuses a database of a newer
/// schema than this program knows. False, with `error` set, when it could not.
bool Migrate(Connection& connection, QString& error, int target = LatestSchema);

/// The schema version the database holds; 0 for none, -1 (with `error`) when it cannot be read.
int SchemaVersion(Connection& connection, QString& error);

} // namespace records
