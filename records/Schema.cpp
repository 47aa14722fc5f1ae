#include "records/Schema.h"

#include "records/Connection.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

namespace records {
namespace {

/// Each migration's statements, from the version before it; {id}, {int} and {real} stand for
/// the dialect's types.
const QStringList Migrations[] = {
    // 1: the runs and their step results.
    {"CREATE TABLE runs (id {id}, run_uuid TEXT NOT NULL UNIQUE, board_vendor {int}, "
     "board_product {int}, board_serial TEXT, board_product_name TEXT, station_id TEXT, "
     "operator TEXT, program_version TEXT, plan_path TEXT NOT NULL, plan_sha256 TEXT, "
     "started TEXT NOT NULL, ended TEXT, outcome TEXT NOT NULL, reason TEXT)",
     "CREATE TABLE step_results (id {id}, run_id {int} NOT NULL REFERENCES runs (id), "
     "step_index {int} NOT NULL, step_name TEXT NOT NULL, step_type TEXT NOT NULL, "
     "repetition {int} NOT NULL, quantity TEXT, value_number {real}, value_text TEXT, unit TEXT, "
     "limit_text TEXT, limit_min {real}, limit_max {real}, limit_equals {real}, "
     "within_limits {int}, outcome TEXT NOT NULL, failure TEXT, answer_time_ms {real}, "
     "sent_bytes TEXT)",
     "CREATE INDEX step_results_run ON step_results (run_id)",
     "CREATE INDEX runs_board ON runs (board_serial)"},
    // 2: the label scanned from the board; the try of a retried step, whether it was tried
    // again (then the next try decides), and whether it is one of the plan's teardown steps.
    {"ALTER TABLE runs ADD COLUMN scanned_label TEXT",
     "ALTER TABLE step_results ADD COLUMN try_number {int} NOT NULL DEFAULT 1",
     "ALTER TABLE step_results ADD COLUMN retried {int} NOT NULL DEFAULT 0",
     "ALTER TABLE step_results ADD COLUMN teardown {int} NOT NULL DEFAULT 0"},
};
static_assert(std::size(Migrations) == LatestSchema);

QString InDialect(QString statement, bool postgresql) {
    return statement.replace("{id}", postgresql ? "BIGSERIAL PRIMARY KEY" : "INTEGER PRIMARY KEY")
        .replace("{int}", postgresql ? "BIGINT" : "INTEGER")
        .replace("{real}", postgresql ? "DOUBLE PRECISION" : "REAL");
}

} // namespace

int SchemaVersion(Connection& connection, QString& error) {
    if (!connection.database().tables().contains("schema_version")) return 0;
    QSqlQuery query(connection.database());
    if (!query.exec("SELECT MAX(version) FROM schema_version")) {
        error = ErrorText(query.lastError());
        return -1;
    }
    return query.next() ? query.value(0).toInt() : 0;
}

bool Migrate(Connection& connection, QString& error, int target) {
    if (!connection.begin(error)) return false;
    const auto fail = [&connection] {
        connection.rollback();
        return false;
    };
    // Writers that start together wait here for the first to finish: PostgreSQL's lock for
    // the transaction (SQLite's BEGIN IMMEDIATE already holds the whole file).
    if (connection.postgresql() && !connection.run("SELECT pg_advisory_xact_lock(7267001)", error))
        return fail();
    if (!connection.run("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)",
                        error))
        return fail();
    const int current = SchemaVersion(connection, error);
    if (current < 0) return fail();
    if (current > LatestSchema) {
        error = QString("the database has schema version %1, made by a newer zov-usb-test "
                        "(this one knows up to %2)")
                    .arg(current)
                    .arg(LatestSchema);
        return fail();
    }
    if (current >= target) {
        connection.rollback();
        return true;
    }
    for (int version = current + 1; version <= target; ++version)
        for (const QString& statement : Migrations[version - 1])
            if (!connection.run(InDialect(statement, connection.postgresql()), error))
                return fail();
    if (!connection.run("DELETE FROM schema_version", error) ||
        !connection.run(QString("INSERT INTO schema_version (version) VALUES (%1)").arg(target),
                        error))
        return fail();
    return connection.commit(error) || fail();
}

} // namespace records
